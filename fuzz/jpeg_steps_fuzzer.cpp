// The step-wise JPEG decoder against the one-call decoder on the same bytes:
// decoding a band at a time, stopped after every batch, must give the same
// result code, size and pixels, damaged streams included. Any difference is
// reported as a crash so the input is kept.
#include "fuzz_support.h"
#include "imaging/decoder.h"
#include "imaging/jpeg_steps.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vemra::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    static const BuiltinDecoder* decoder = findBuiltinDecoder(1001);
    if (decoder == nullptr)
        std::abort();

    // The last byte picks the reduction, as in the decoder's own target.
    static constexpr std::array<int, 4> kReductions{1, 2, 4, 8};
    const int reduction = size > 0 ? kReductions[data[size - 1] & 3] : 1;

    DecodeOptions options;
    options.reduction = reduction;
    PictureBuffer whole;
    const int wholeCode = decoder->picture(reinterpret_cast<const char*>(data),
                                           static_cast<std::intptr_t>(size), 1, whole, options);

    JpegStepDecoder steps;
    const auto* first = reinterpret_cast<const std::byte*>(data);
    int code =
        static_cast<int>(steps.startMemory(std::vector<std::byte>(first, first + size), reduction));
    PictureBuffer stepped;
    if (code == 0) {
        // Stop after every batch: the most interrupted decode there can be.
        int calls = 0;
        while (!steps.step([] { return true; })) {
            if (++calls > 1'000'000)
                std::abort(); // a step that makes no progress
        }
        code = static_cast<int>(steps.result());
        stepped = steps.takePicture();
    }

    const bool bothValid = whole.isValid() && stepped.isValid();
    bool same = code == wholeCode && whole.isValid() == stepped.isValid();
    if (same && bothValid) {
        same = whole.width() == stepped.width() && whole.height() == stepped.height() &&
               whole.bitCount() == stepped.bitCount() &&
               std::equal(whole.pixels().begin(), whole.pixels().end(), stepped.pixels().begin(),
                          stepped.pixels().end());
    }
    if (!same) {
        std::fprintf(stderr, "stepped decode differs: code %d vs %d, %dx%d vs %dx%d\n", code,
                     wholeCode, stepped.isValid() ? stepped.width() : 0,
                     stepped.isValid() ? stepped.height() : 0, whole.isValid() ? whole.width() : 0,
                     whole.isValid() ? whole.height() : 0);
        if (bothValid && whole.width() == stepped.width() && whole.height() == stepped.height()) {
            const auto a = whole.pixels();
            const auto b = stepped.pixels();
            const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
            std::fprintf(stderr, "first differing byte %td of %zu, row %td from the bottom\n", at,
                         a.size(), at / static_cast<std::ptrdiff_t>(whole.rowBytes()));
        }
        std::abort();
    }
    return 0;
}

// fontconfig keeps its pattern caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
