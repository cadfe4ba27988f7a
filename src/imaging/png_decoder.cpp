// Built-in decoder 1007: PNG through libpng.
//
// libpng reports errors by longjmp to the setjmp in png_jmpbuf; as with JPEG,
// the functions holding the setjmp keep nothing with a destructor alive
// across library calls.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "platform/text_encoding.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vemra {
namespace {

constexpr std::size_t kSignatureBytes = 8;

struct MemoryReader {
    std::span<const std::byte> data;
    std::size_t at = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->data.size() - reader->at) {
        png_error(png, "read past the end of the data");
    }
    std::memcpy(out, reader->data.data() + reader->at, length);
    reader->at += length;
}

// Whether every chunk before the first image data lies wholly inside the
// file. libpng takes a declared length at its word: it allocates and clears
// a buffer that large for a text chunk before finding the data missing (over
// its chunk limit it only warns and goes on), so one hostile length costs
// gigabytes and seconds. A file whose chunks run past its end before the
// image data could never be decoded anyway.
bool headerChunksComplete(std::span<const std::byte> data) {
    std::size_t at = kSignatureBytes;
    while (at + 8 <= data.size()) {
        const auto byte = [&](std::size_t i) {
            return std::to_integer<std::uint32_t>(data[at + i]);
        };
        const std::uint64_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        if (byte(4) == 'I' && byte(5) == 'D' && byte(6) == 'A' && byte(7) == 'T') {
            return true;
        }
        if (length + 12 > data.size() - at) {
            return false;
        }
        at += static_cast<std::size_t>(length) + 12;
    }
    return false;
}

void silentWarning(png_structp, png_const_charp) {}
[[noreturn]] void errorExit(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

constexpr png_alloc_size_t kMaxChunkBytes = 16u << 20;
constexpr png_uint_32 kMaxCachedChunks = 1000;

// The read and info structures, destroyed together on every path.
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemoryReader source;

    explicit PngReader(std::span<const std::byte> data) : source{data, 0} {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorExit, silentWarning);
        if (png != nullptr) {
            info = png_create_info_struct(png);
            png_set_read_fn(png, &source, readFromMemory);
            // A chunk's length is whatever the file says; without a cap
            // libpng allocates (and clears) that much before finding the
            // data missing, so a few hundred hostile bytes cost gigabytes.
            // Text, profiles and the like never come near these limits.
            png_set_chunk_malloc_max(png, kMaxChunkBytes);
            png_set_chunk_cache_max(png, kMaxCachedChunks);
        }
    }
    ~PngReader() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    bool valid() const { return png != nullptr && info != nullptr; }
};

bool readInfo(PngReader& r) {
    if (!headerChunksComplete(r.source.data)) {
        return false; // as libpng would fail, only without its huge allocation first
    }
    if (setjmp(png_jmpbuf(r.png)) != 0) {
        return false;
    }
    png_read_info(r.png, r.info);
    return true;
}

bool identify(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    return h && h->length >= kSignatureBytes &&
           png_sig_cmp(reinterpret_cast<png_const_bytep>(h->bytes.data()), 0, kSignatureBytes) == 0;
}

std::string firstText(const PngReader& r) {
    png_textp texts = nullptr;
    int count = 0;
    if (png_get_text(r.png, r.info, &texts, &count) > 0 && count > 0 && texts[0].text != nullptr) {
        // International text chunks keep their length elsewhere; all end in a zero.
        return toUtf8(std::string_view(texts[0].text));
    }
    return {};
}

ResultCode openPng(const char* source, std::intptr_t offsetOrLength, unsigned mode,
                   SourceBytes& input) {
    const ResultCode opened = input.open(source, offsetOrLength, mode);
    if (opened != ResultCode::Success) {
        return opened;
    }
    if (input.bytes().size() < kSignatureBytes ||
        png_sig_cmp(reinterpret_cast<png_const_bytep>(input.bytes().data()), 0, kSignatureBytes) !=
            0) {
        return ResultCode::InvalidData;
    }
    return ResultCode::Success;
}

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
         const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = openPng(source, offsetOrLength, mode, input);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    PngReader r(input.bytes());
    if (!r.valid()) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    if (!readInfo(r)) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    const int colourType = png_get_color_type(r.png, r.info);
    const int channels =
        ((colourType & PNG_COLOR_MASK_COLOR) != 0 && (colourType & PNG_COLOR_MASK_PALETTE) == 0
             ? 3
             : 1) +
        ((colourType & PNG_COLOR_MASK_ALPHA) != 0 ? 1 : 0);
    info.left = 0;
    info.top = 0;
    info.width = static_cast<std::int32_t>(png_get_image_width(r.png, r.info));
    info.height = static_cast<std::int32_t>(png_get_image_height(r.png, r.info));
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(channels * png_get_bit_depth(r.png, r.info));
    info.hInfo = commentHandle(firstText(r));
    return static_cast<int>(ResultCode::Success);
}

// The layout a PNG becomes: its depth in the picture, whether 2-bit samples
// are widened to nibbles, and the colour table.
struct Target {
    int bitCount = 24;
    bool twoBit = false;
    std::vector<ColourWord> colours;
};

ResultCode chooseTarget(PngReader& r, Target& t) {
    const int colourType = png_get_color_type(r.png, r.info);
    const int depth = png_get_bit_depth(r.png, r.info);
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
        t.bitCount = std::min(depth, 8);
        const int entries = 1 << t.bitCount;
        for (int i = 0; i < entries; ++i) {
            const int v = 255 * i / (entries - 1);
            t.colours.push_back(colourWord(v, v, v));
        }
        break;
    }
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        t.bitCount = 24;
        break;
    case PNG_COLOR_TYPE_PALETTE: {
        t.bitCount = depth;
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(r.png, r.info, &palette, &count) == 0) {
            count = 0;
        }
        for (int i = 0; i < count; ++i) {
            t.colours.push_back(colourWord(palette[i].red, palette[i].green, palette[i].blue));
        }
        break;
    }
    default:
        return ResultCode::UnsupportedKind;
    }
    if (t.bitCount == 2) {
        t.bitCount = 4;
        t.twoBit = true;
    }
    return ResultCode::Success;
}

// 2-bit samples, four to a byte, become nibbles, two to a byte (in place,
// from the right, since the row grows).
void widenTwoBitRow(std::byte* row, int width) {
    for (int x = width - 1; x >= 0; --x) {
        const auto packed = std::to_integer<unsigned>(row[x / 4]);
        const unsigned value = packed >> (6 - 2 * (x % 4)) & 3;
        std::byte& out = row[x / 2];
        if (x % 2 == 0) {
            out = static_cast<std::byte>((std::to_integer<unsigned>(out) & 0x0F) | value << 4);
        } else {
            out = static_cast<std::byte>((std::to_integer<unsigned>(out) & 0xF0) | value);
        }
    }
}

bool readRows(PngReader& r, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(r.png)) != 0) {
        return false;
    }
    png_read_image(r.png, rows.data());
    png_read_end(r.png, nullptr);
    return true;
}

bool setTransforms(PngReader& r) {
    if (setjmp(png_jmpbuf(r.png)) != 0) {
        return false;
    }
    png_set_strip_16(r.png);
    png_set_strip_alpha(r.png);
    if ((png_get_color_type(r.png, r.info) & PNG_COLOR_MASK_COLOR) != 0) {
        png_set_bgr(r.png);
    }
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    return true;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = openPng(source, offsetOrLength, mode, input);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    PngReader r(input.bytes());
    if (!r.valid()) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    if (!readInfo(r)) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    const auto width = static_cast<std::int64_t>(png_get_image_width(r.png, r.info));
    const auto height = static_cast<std::int64_t>(png_get_image_height(r.png, r.info));
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) {
        return static_cast<int>(ResultCode::OutOfMemory);
    }
    Target target;
    if (const ResultCode chosen = chooseTarget(r, target); chosen != ResultCode::Success) {
        return static_cast<int>(chosen);
    }
    if (!setTransforms(r)) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    PictureBuffer picture =
        PictureBuffer::create(static_cast<int>(width), static_cast<int>(height), target.bitCount,
                              static_cast<int>(target.colours.size()));
    if (!picture) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    for (std::size_t i = 0; i < target.colours.size(); ++i) {
        picture.setPaletteColour(static_cast<int>(i), target.colours[i]);
    }
    // libpng writes rows top first straight into the bottom-up picture.
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < static_cast<int>(height); ++y) {
        rows[static_cast<std::size_t>(y)] = reinterpret_cast<png_bytep>(picture.row(y).data());
    }
    if (png_get_rowbytes(r.png, r.info) > picture.rowBytes()) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    if (!readRows(r, rows)) {
        return static_cast<int>(ResultCode::LibraryFailure);
    }
    if (target.twoBit) {
        for (int y = 0; y < static_cast<int>(height); ++y) {
            widenTwoBitRow(picture.row(y).data(), static_cast<int>(width));
        }
    }
    png_uint_32 xRes = 0;
    png_uint_32 yRes = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &xRes, &yRes, &unit) != 0 && unit == PNG_RESOLUTION_METER &&
        xRes <= INT32_MAX && yRes <= INT32_MAX) {
        picture.setResolution(static_cast<std::int32_t>(xRes), static_cast<std::int32_t>(yRes));
    }
    out = std::move(picture);
    return static_cast<int>(ResultCode::Success);
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "PNG to DIB filter Ver 0.01 (Vemra)",
    "*.png",
    "PNG",
};

} // namespace

const BuiltinDecoder kPngDecoder = {
    kPngDecoderId, "--PNG--", "*.PNG", "#InnerPNG", true, kInformation, identify, info, picture,
};

} // namespace vemra
