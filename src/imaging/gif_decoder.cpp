// Built-in decoder 1002: GIF with the program's own LZW decoder. It gives
// the first image of the file at its own size; animation is the business of
// the frame walker (gif_frames.h).

#include "imaging/gif_decoder.h"

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/gif_lzw.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <vector>

namespace vemra {

bool identifyGif(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    return h && hasGifSignature(h->view());
}

int gifInfo(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
            const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    const auto data = input.bytes();
    if (!hasGifSignature(data)) {
        return static_cast<int>(ResultCode::InvalidData);
    }
    const auto screen = readGifScreen(data);
    if (!screen) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    int width = screen->width;
    int height = screen->height;
    int bits = screen->colourBits;
    GifWalker walker(data, screen->blocksStart);
    GifImage image;
    if (walker.next(image) == GifBlock::Image) {
        width = image.width;
        height = image.height;
        bits = gifColourBits(*screen, image);
    }
    info.left = 0;
    info.top = 0;
    info.width = width;
    info.height = height;
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(bits);
    info.hInfo = commentHandle(toUtf8(walker.comment()));
    return static_cast<int>(ResultCode::Success);
}

int gifPictureDepth(int colourBits) {
    return colourBits >= 5 ? 8 : colourBits >= 2 ? 4 : 1;
}

void setGifColours(PictureBuffer& picture, std::span<const std::byte> table, int colourBits) {
    const int entries = 1 << colourBits;
    for (int i = 0; i < entries; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 3;
        if (!table.empty() && at + 2 < table.size()) {
            picture.setPaletteColour(i, colourWord(std::to_integer<int>(table[at]),
                                                   std::to_integer<int>(table[at + 1]),
                                                   std::to_integer<int>(table[at + 2])));
        } else if (table.empty()) {
            const int v = i * (255 / (entries - 1));
            picture.setPaletteColour(i, colourWord(v, v, v));
        }
    }
}

namespace {

// Packs one row of 8-bit indices into 4 or 1 bits, most significant first.
void packRow(const std::uint8_t* in, std::byte* out, int width, int depth) {
    if (depth == 4) {
        for (int x = 0; x < width; x += 2) {
            const unsigned high = in[x] & 0x0F;
            const unsigned low = x + 1 < width ? in[x + 1] & 0x0F : 0;
            out[x / 2] = static_cast<std::byte>(high << 4 | low);
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        if ((in[x] & 1) != 0) {
            out[x / 8] |= static_cast<std::byte>(0x80u >> (x % 8));
        }
    }
}

// Calls `f` with the first `count` rows of a frame in the order its data
// fills them: top to bottom, or the four passes of an interlaced frame.
template <class RowFunction>
void forRowsInStoredOrder(int height, bool interlaced, int count, RowFunction f) {
    if (!interlaced) {
        for (int y = 0; y < count; ++y) {
            f(y);
        }
        return;
    }
    static constexpr int kFirstRow[] = {0, 4, 2, 1};
    static constexpr int kRowStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kFirstRow[pass]; y < height && count > 0; y += kRowStep[pass], --count) {
            f(y);
        }
    }
}

ResultCode decode(std::span<const std::byte> data, PictureBuffer& out) {
    if (!hasGifSignature(data)) {
        return ResultCode::Aborted;
    }
    const auto screen = readGifScreen(data);
    if (!screen) {
        return ResultCode::BrokenData;
    }
    GifWalker walker(data, screen->blocksStart);
    GifImage image;
    if (walker.next(image) != GifBlock::Image) {
        return ResultCode::BrokenData;
    }
    if (image.width == 0 || image.height == 0) {
        return ResultCode::BrokenData;
    }
    if (static_cast<std::int64_t>(image.width) * image.height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    const int bits = gifColourBits(*screen, image);
    const int depth = gifPictureDepth(bits);
    PictureBuffer picture = PictureBuffer::create(image.width, image.height, depth, 1 << bits);
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    setGifColours(picture, gifColourTable(*screen, image), bits);

    ResultCode lzw;
    if (depth == 8) {
        // Eight-bit pictures take the indices straight into their rows.
        auto* rows = reinterpret_cast<std::uint8_t*>(picture.pixels().data());
        GifPixelSink sink(rows, picture.rowBytes(), true, image.width, image.height,
                          image.interlaced);
        lzw = decodeGifLzw(data, image.lzwStart, sink);
    } else {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(image.width) *
                                          static_cast<std::size_t>(image.height));
        GifPixelSink sink(indices.data(), static_cast<std::size_t>(image.width), false, image.width,
                          image.height, image.interlaced);
        lzw = decodeGifLzw(data, image.lzwStart, sink);
        // Rows the data never reached stay blank in the new picture, so only
        // the rows reached are packed: a few bytes declaring a huge frame
        // cost no more than their data.
        const std::uint64_t width = static_cast<std::uint64_t>(image.width);
        const int rowsReached = static_cast<int>(std::min<std::uint64_t>(
            (sink.written() + width - 1) / width, static_cast<std::uint64_t>(image.height)));
        forRowsInStoredOrder(image.height, image.interlaced, rowsReached, [&](int y) {
            packRow(indices.data() + static_cast<std::size_t>(y) * image.width,
                    picture.row(y).data(), image.width, depth);
        });
    }
    // Data that ends early still gives the rows decoded so far.
    if (lzw != ResultCode::Success && lzw != ResultCode::InvalidData) {
        return lzw;
    }
    out = std::move(picture);
    return ResultCode::Success;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    return static_cast<int>(decode(input.bytes(), out));
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "GIF to DIB filter Ver 0.01 (Vemra)",
    "*.gif",
    "GIF",
};

} // namespace

const BuiltinDecoder kGifDecoder = {
    kGifDecoderId, "--AGIF--",  "*.GIF", "#InnerGIF", false,
    kInformation,  identifyGif, gifInfo, picture,
};

} // namespace vemra
