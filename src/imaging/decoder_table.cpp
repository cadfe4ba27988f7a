#include "imaging/builtin_decoders.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>

namespace vemra {
namespace {

// The order in which identification asks the built-ins about a file.
const BuiltinDecoder* const kOrder[] = {
    &kBmpDecoder, &kPngDecoder,  &kTiffDecoder, &kJpegDecoder, &kTextDecoder,
    &kAviDecoder, &kMpegDecoder, &kGifDecoder,  &kGif2Decoder,
};
constexpr std::size_t kCount = std::size(kOrder);

std::array<BuiltinDecoder, kCount> makeTable() {
    std::array<BuiltinDecoder, kCount> table{};
    for (std::size_t i = 0; i < kCount; ++i) {
        table[i] = *kOrder[i];
    }
    return table;
}

} // namespace

std::span<const BuiltinDecoder> builtinDecoders() {
    static const auto table = makeTable();
    return table;
}

const BuiltinDecoder* findBuiltinDecoder(DecoderId id) {
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (d.id == id) {
            return &d;
        }
    }
    return nullptr;
}

const BuiltinDecoder* findBuiltinDecoder(std::string_view label) {
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (equalIgnoringCase(d.label, label)) {
            return &d;
        }
    }
    return nullptr;
}

int DecodeOptions::jpegDenominator() const {
    return std::max(1, std::max(1, reduction) >> std::clamp(jpegReductionShift, 0, 3));
}

int thumbnailReduction(int width, int height, int requestedWidth, int requestedHeight) {
    if (requestedWidth <= 0 || requestedHeight <= 0) {
        return 1;
    }
    return std::max({1, width / requestedWidth, height / requestedHeight});
}

TextPageLayout textLayoutFromSetting(std::string_view value, TextPageLayout layout) {
    int* fields[] = {&layout.charactersPerLine, &layout.linesPerPage};
    for (int* field : fields) {
        const std::size_t comma = value.find(',');
        std::string_view text = value.substr(0, comma);
        while (!text.empty() && text.front() == ' ') {
            text.remove_prefix(1);
        }
        int number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error == std::errc() && number > 0 && number <= 10000) {
            *field = number;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        value.remove_prefix(comma + 1);
    }
    return layout;
}

} // namespace vemra
