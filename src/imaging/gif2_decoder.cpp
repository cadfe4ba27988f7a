// Built-in decoder 1008: GIF through giflib. Before giflib sees the data,
// the block structure is repaired (a trailer where garbage or the end of
// the data begins) and a single-image GIF holding only the first image is
// put together, so that a damaged tail or a broken later frame cannot spoil
// the first picture. The picture has the size of the logical screen, with
// the image drawn at its position over the background colour.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace vemra {
namespace {

constexpr std::size_t kSlack = 256;
constexpr std::byte kTrailer{0x3B};

// Skips sub-blocks from `at` in the zero-padded copy (whose padding ends
// every chain).
std::size_t skipSubBlocks(std::span<const std::byte> data, std::size_t at) {
    while (at < data.size()) {
        const std::size_t length = std::to_integer<std::size_t>(data[at]);
        at += 1 + length;
        if (length == 0) {
            break;
        }
    }
    return std::min(at, data.size());
}

// Writes a trailer where the blocks stop making sense; `length` is the size
// of the real data inside the padded copy. Returns the start of the first
// image's first block, or 0 when there is no image.
std::size_t repairBlocks(std::vector<std::byte>& copy, std::size_t length, std::size_t start) {
    std::size_t at = start;
    std::size_t firstImage = 0;
    std::size_t blockStart = 0;
    bool inExtensions = false;
    while (at < copy.size()) {
        if (at >= length) {
            copy[at] = kTrailer; // the data ended right after a block
            break;
        }
        const auto introducer = std::to_integer<unsigned>(copy[at]);
        if (introducer == 0x21) {
            if (!inExtensions) {
                blockStart = at;
                inExtensions = true;
            }
            at = skipSubBlocks(copy, at + 2);
        } else if (introducer == 0x2C) {
            if (firstImage == 0) {
                firstImage = inExtensions ? blockStart : at;
            }
            inExtensions = false;
            if (at + 10 > copy.size()) {
                break;
            }
            const auto flags = std::to_integer<unsigned>(copy[at + 9]);
            at += 10;
            if ((flags & 0x80) != 0) {
                at += std::size_t{3} << ((flags & 7) + 1);
            }
            at = skipSubBlocks(copy, at + 1);
        } else if (introducer == 0x3B) {
            break;
        } else {
            copy[at] = kTrailer;
            break;
        }
    }
    return firstImage;
}

struct Reader {
    std::span<const std::byte> data;
    std::size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const std::size_t n =
        std::min(static_cast<std::size_t>(std::max(length, 0)), r->data.size() - r->at);
    std::memcpy(out, r->data.data() + r->at, n);
    r->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Decodes the first image of the single-image GIF in `single` onto a screen.
bool load(std::span<const std::byte> single, PictureBuffer& out) {
    Reader reader{single, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif) {
        return false;
    }
    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) {
            return false;
        }
        if (type == TERMINATE_RECORD_TYPE) {
            return false;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) {
                return false;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                transparent = (block[1] & 1) != 0 ? block[4] : -1;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
                    return false;
                }
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) != GIF_OK) {
            return false;
        }
        break;
    }
    const GifImageDesc& image = gif->Image;
    int width = gif->SWidth;
    int height = gif->SHeight;
    if (width == 0 || height == 0) {
        width = image.Left + image.Width;
        height = image.Top + image.Height;
    }
    if (width <= 0 || height <= 0 || image.Width <= 0 || image.Height <= 0 ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        return false;
    }
    const ColorMapObject* map = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
    PictureBuffer picture = PictureBuffer::create(width, height, 8);
    if (!picture) {
        return false;
    }
    if (map != nullptr && map->Colors != nullptr) {
        for (int i = 0; i < map->ColorCount && i < 256; ++i) {
            const GifColorType& c = map->Colors[i];
            picture.setPaletteColour(i, colourWord(c.Red, c.Green, c.Blue));
        }
    } else {
        setGifColours(picture, {}, 8);
    }
    const int background =
        map != nullptr && gif->SBackGroundColor < map->ColorCount ? gif->SBackGroundColor : 0;
    std::fill(picture.pixels().begin(), picture.pixels().end(), static_cast<std::byte>(background));

    std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(image.Height));
    if (image.Interlace) {
        const int starts[] = {0, 4, 2, 1};
        const int steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = starts[pass]; y < image.Height; y += steps[pass]) {
                order.push_back(y);
            }
        }
    } else {
        for (int y = 0; y < image.Height; ++y) {
            order.push_back(y);
        }
    }
    for (const int y : order) {
        if (DGifGetLine(gif.get(), line.data(), image.Width) != GIF_OK) {
            return false;
        }
        const int sy = image.Top + y;
        if (sy >= height) {
            continue;
        }
        std::byte* row = picture.row(sy).data();
        for (int x = 0; x < image.Width && image.Left + x < width; ++x) {
            if (line[static_cast<std::size_t>(x)] != transparent) {
                row[image.Left + x] = static_cast<std::byte>(line[static_cast<std::size_t>(x)]);
            }
        }
    }
    out = std::move(picture);
    return true;
}

ResultCode decode(std::span<const std::byte> data, PictureBuffer& out) {
    if (!hasGifSignature(data)) {
        return ResultCode::Failure;
    }
    const auto screen = readGifScreen(data);
    if (!screen) {
        return ResultCode::Failure;
    }
    std::vector<std::byte> copy(data.size() + kSlack);
    std::memcpy(copy.data(), data.data(), data.size());
    const std::size_t firstImage = repairBlocks(copy, data.size(), screen->blocksStart);
    if (firstImage == 0) {
        return ResultCode::Failure;
    }
    // Screen and global table, then the first image with its extensions and
    // everything after it.
    std::vector<std::byte> single(copy.begin(),
                                  copy.begin() + static_cast<long>(screen->blocksStart));
    single.insert(single.end(), copy.begin() + static_cast<long>(firstImage), copy.end());
    return load(single, out) ? ResultCode::Success : ResultCode::Failure;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (input.open(source, offsetOrLength, mode) != ResultCode::Success) {
        return static_cast<int>(ResultCode::Failure);
    }
    return static_cast<int>(decode(input.bytes(), out));
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "GIF to DIB filter Ver 0.01 (Vemra, giflib)",
    "*.gif",
    "GIF",
};

} // namespace

namespace gif2 {
// The repaired copy of `data` as giflib is given it; for tests.
std::vector<std::byte> repairedForTesting(std::span<const std::byte> data) {
    const auto screen = readGifScreen(data);
    if (!screen) {
        return {};
    }
    std::vector<std::byte> copy(data.size() + kSlack);
    std::memcpy(copy.data(), data.data(), data.size());
    repairBlocks(copy, data.size(), screen->blocksStart);
    return copy;
}
} // namespace gif2

const BuiltinDecoder kGif2Decoder = {
    kGif2DecoderId, "--GIF--",   "*.GIF", "#InnerGIF2", true,
    kInformation,   identifyGif, gifInfo, picture,
};

} // namespace vemra
