// One built-in decoder's three operations on arbitrary bytes held in
// memory: identification (on a 2048-byte header, as the registry passes
// it), information and the picture. The decoder is chosen at build time
// (VEMRA_FUZZ_DECODER); JPEG also runs its reduced decodes.
#include "fuzz_support.h"
#include "imaging/decoder.h"
#include "imaging/picture_convert.h"

#include <algorithm>
#include <array>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vemra::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    static const BuiltinDecoder* decoder = findBuiltinDecoder(VEMRA_FUZZ_DECODER);
    if (decoder == nullptr)
        std::abort();

    std::array<char, 2048> header{};
    std::memcpy(header.data(), data, std::min(size, header.size()));
    (void)decoder->identify("fuzz", header.data());

    const auto* source = reinterpret_cast<const char*>(data);
    const auto length = static_cast<std::intptr_t>(size);
    PictureInfo info{};
    (void)decoder->info(source, length, 1, info, vemra::DecodeOptions{});
    SpiFree(info.hInfo); // the comment handle is the caller's

    // The last byte picks the reduction, so the corpus covers the scaled
    // decodes thumbnails use.
    static constexpr std::array<int, 4> kReductions{1, 2, 4, 8};
    DecodeOptions options;
    options.reduction = size > 0 ? kReductions[data[size - 1] & 3] : 1;
    options.requestedWidth = 200;
    options.requestedHeight = 150;
    PictureBuffer picture;
    // Widening is tried on pictures of ordinary size only: a tiny file may
    // rightly declare a huge blank picture, and widening that proves nothing.
    if (decoder->picture(source, length, 1, picture, options) == 0 && picture.isValid() &&
        static_cast<std::int64_t>(picture.width()) * picture.height() <= (1 << 22))
        (void)convertTo24Bits(picture);
    return 0;
}

// fontconfig keeps its pattern caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
