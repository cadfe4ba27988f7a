#include "imaging/png_encoder.h"

#include "imaging/picture_convert.h"
#include "platform/atomic_file.h"
#include "platform/endian.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include <png.h>

namespace vemra {
namespace {

constexpr std::int64_t kMaxSide = 1'000'000;

// How true-colour rows are compressed. At zlib's default level 6 with
// libpng's adaptive filters a 4000 x 3000 photograph took 2.8 s, nearly all
// of it in deflate's match search, and came out larger than at level 2:
// after filtering, a photograph's bytes are mostly short-range noise for
// which the longer search finds hardly any matches. The Sub filter alone at
// level 2 took 0.54 s and the file was 12 % smaller. On real camera
// pictures Sub at level 2 gave files 2-3 % smaller than before and 7-9 %
// smaller than the adaptive choice at the same level (which minimises a sum
// of differences, not what deflate makes of them). Screenshots saved as 24
// bits come out about a tenth larger than before. Palette pictures are a
// third of the bytes or less and mostly drawings: they keep libpng's
// defaults (no filter, level 6).
constexpr int kTrueColourFilter = PNG_FILTER_SUB;
constexpr int kTrueColourLevel = 2;
// zlib's largest hash table: a little faster and smaller at these levels,
// for 256 KiB more of memory.
constexpr int kTrueColourMemoryLevel = 9;
// Output is handed over in pieces this large (IDAT chunks of this size):
// fewer write calls than libpng's 8 KiB.
constexpr std::size_t kOutputBufferSize = 64 * 1024;

// How the rows reach libpng.
enum class RowSource {
    AsStored,    // palette indices or blue-green-red bytes as the picture holds them
    FillerAfter, // 32-bit blue-green-red-unused pixels: libpng drops the fourth byte
    Converted,   // RLE expanded, 16-bit and core palette pictures widened to 24 bits, in a copy
};

// The layouts PNG takes, decided before anything is written.
struct Plan {
    DibLayout layout;
    int sbitGreen = 0; // 5 or 6 for 16-bit pictures, 0 otherwise
    RowSource rows = RowSource::AsStored;
};

PngResult plan(const PictureBuffer& picture, Plan& out) {
    const auto header = DibHeader::read(picture.block());
    if (!header ||
        (header->headerSize != kInfoHeaderSize && header->headerSize != kCoreHeaderSize)) {
        return PngResult::BadHeader;
    }
    const std::int64_t height =
        header->height < 0 ? -static_cast<std::int64_t>(header->height) : header->height;
    if (header->width < 1 || header->width > kMaxSide || height < 1 || height > kMaxSide) {
        return PngResult::BadHeader;
    }
    const auto layout = picture.layout();
    if (!layout) {
        // Sane sizes but an impossible layout or a block too short for it.
        const int bits = header->bitCount;
        const bool knownDepth =
            bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        return knownDepth && header->compression <= 3 ? PngResult::BadHeader
                                                      : PngResult::UnsupportedLayout;
    }
    const int bits = layout->bitCount;
    switch (layout->compression) {
    case Compression::None:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return PngResult::UnsupportedLayout;
        }
        out.sbitGreen = bits == 16 ? 5 : 0;
        out.rows = bits == 16   ? RowSource::Converted
                   : bits == 32 ? RowSource::FillerAfter
                                : RowSource::AsStored;
        break;
    case Compression::Rle8:
    case Compression::Rle4:
        out.rows = RowSource::Converted; // the layout already ties RLE8 to 8 bits and RLE4 to 4
        break;
    case Compression::BitFields: {
        const auto m = picture.bitFieldMasks();
        const std::uint32_t r = loadU32(m.data());
        const std::uint32_t g = loadU32(m.data() + 4);
        const std::uint32_t b = loadU32(m.data() + 8);
        if (bits == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) {
            out.sbitGreen = 5;
            out.rows = RowSource::Converted;
        } else if (bits == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F) {
            out.sbitGreen = 6;
            out.rows = RowSource::Converted;
        } else if (bits == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
            out.rows = RowSource::FillerAfter; // the same bytes as an unmasked 32-bit picture
        } else {
            return PngResult::UnsupportedLayout;
        }
        break;
    }
    }
    if (layout->isCore() && bits != 24) {
        out.rows = RowSource::Converted;
    }
    out.layout = *layout;
    return PngResult::Success;
}

struct Writer {
    AtomicFile* file = nullptr;
    std::vector<std::byte>* memory = nullptr;
    std::size_t memoryLimit = 0;
    bool failed = false;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* w = static_cast<Writer*>(png_get_io_ptr(png));
    const std::span bytes(reinterpret_cast<const std::byte*>(data), length);
    if (w->file != nullptr) {
        w->failed = w->failed || !w->file->write(bytes);
    } else if (w->memory->size() + length > w->memoryLimit) {
        w->failed = true;
    } else {
        w->memory->insert(w->memory->end(), bytes.begin(), bytes.end());
    }
    if (w->failed) {
        png_error(png, "write failed");
    }
}

void flushBytes(png_structp) {}

[[noreturn]] void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

// Runs libpng over `picture`: uncompressed 1, 4, 8 or 24 bits, or 32 bits
// whose fourth bytes libpng drops (16-bit, RLE and core palette pictures were
// converted by the caller, `sbitGreen` remembering the 16-bit kind). Rows go
// from the picture straight into libpng's row buffer.
// Nothing with a destructor lives between setjmp and the end.
PngResult encode(const PictureBuffer& picture, const Plan& plan, const PngRequest& request,
                 Writer& writer, std::vector<png_color>& palette) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (png == nullptr) {
        return PngResult::OutOfMemory;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return PngResult::OutOfMemory;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return PngResult::LibraryError;
    }
    png_set_write_fn(png, &writer, writeBytes, flushBytes);
    png_set_compression_buffer_size(png, kOutputBufferSize);
    const DibLayout& l = plan.layout;
    const int bits = picture.bitCount();
    const bool indexed = bits <= 8;
    if (!indexed) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, kTrueColourFilter);
        png_set_compression_level(png, kTrueColourLevel);
        png_set_compression_mem_level(png, kTrueColourMemoryLevel);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(l.width), static_cast<png_uint_32>(l.height),
                 indexed ? bits : 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 (request.flags & kPngInterlaced) != 0 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (plan.sbitGreen != 0) {
        png_color_8 sbit{};
        sbit.red = 5;
        sbit.green = static_cast<png_byte>(plan.sbitGreen);
        sbit.blue = 5;
        png_set_sBIT(png, info, &sbit);
    }
    const auto header = picture.header();
    if (header && (header->xPelsPerMeter != 0 || header->yPelsPerMeter != 0)) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(header->xPelsPerMeter),
                     static_cast<png_uint_32>(header->yPelsPerMeter), PNG_RESOLUTION_METER);
    }
    if (!request.iccProfile.empty() && request.iccProfile.size() <= PNG_UINT_31_MAX)
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(request.iccProfile.data()),
                     static_cast<png_uint_32>(request.iccProfile.size()));
    png_text text{};
    if (!request.software.empty()) {
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>("Software");
        text.text = const_cast<png_charp>(request.software.c_str());
        text.text_length = request.software.size();
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    if (!indexed) {
        png_set_bgr(png);
    }
    if (plan.rows == RowSource::FillerAfter) {
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < l.height; ++y) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(picture.row(y).data()));
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return PngResult::Success;
}

} // namespace

PngResult writePng(const PngRequest& request, std::vector<std::byte>* memory) {
    if (request.size != kPngRequestSize) {
        return PngResult::BadRequest;
    }
    if (request.picture == nullptr) {
        return PngResult::BadHeader;
    }
    Plan p;
    if (const PngResult r = plan(*request.picture, p); r != PngResult::Success) {
        return r;
    }
    // RLE pictures are expanded, 16-bit and core palette pictures widened to
    // 24 bits, in a copy; everything else is read where it is.
    const PictureBuffer* source = request.picture;
    PictureBuffer converted;
    const int bits = p.layout.bitCount;
    if (p.rows == RowSource::Converted) {
        const Compression c = p.layout.compression;
        if (c == Compression::Rle8 || c == Compression::Rle4) {
            converted = request.picture->duplicate();
            if (!converted) {
                return PngResult::OutOfMemory;
            }
            if (!expandRle(converted)) {
                return PngResult::BadHeader;
            }
        } else {
            converted = copyAs24Bits(*request.picture);
            if (!converted) {
                return PngResult::OutOfMemory;
            }
        }
        source = &converted;
    }
    std::vector<png_color> palette;
    if (bits <= 8) {
        // A palette picture's table, as many entries as the depth allows.
        const int entries = std::min(request.picture->colourEntries(), 1 << bits);
        for (int i = 0; i < std::max(entries, 1); ++i) {
            const ColourWord c = request.picture->paletteColour(i);
            palette.push_back(png_color{static_cast<png_byte>(redOf(c)),
                                        static_cast<png_byte>(greenOf(c)),
                                        static_cast<png_byte>(blueOf(c))});
        }
    }

    Writer writer;
    if (request.memoryLength > 0) {
        if (memory == nullptr) {
            return PngResult::BadRequest;
        }
        memory->clear();
        writer.memory = memory;
        writer.memoryLimit = request.memoryLength;
        const PngResult r = encode(*source, p, request, writer, palette);
        if (r != PngResult::Success) {
            memory->clear();
        }
        return r;
    }
    AtomicFile file(request.fileName);
    if (!file.open()) {
        return PngResult::CannotCreate;
    }
    writer.file = &file;
    const PngResult r = encode(*source, p, request, writer, palette);
    if (r != PngResult::Success) {
        return r;
    }
    return file.commit() ? PngResult::Success : PngResult::LibraryError;
}

} // namespace vemra
