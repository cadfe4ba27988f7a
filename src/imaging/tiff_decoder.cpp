// Built-in decoder 1003: TIFF through libtiff, opened over memory (a file is
// mapped first).
//
// The common layouts (1, 4 and 8 bits with one sample: bilevel, grey and
// palette; 8-bit RGB with three samples) are read strip by strip into the
// picture. Everything else libtiff can read (16-bit samples, alpha, CMYK,
// YCbCr, tiles, separate planes, 2-bit grey) goes through its RGBA reader
// and becomes a 24-bit picture.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace vemra {
namespace {

constexpr std::int32_t kPixelsPerMetre = 2834;
// Colour, alpha and a few extra channels; thousands of samples per pixel are
// a broken or hostile header.
constexpr std::uint16_t kMaxSamples = 16;

struct MemoryFile {
    std::span<const std::byte> data;
    toff_t at = 0;
};

tsize_t readProc(thandle_t h, tdata_t out, tsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->at >= f->data.size()) {
        return 0;
    }
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), f->data.size() - f->at);
    std::memcpy(out, f->data.data() + f->at, n);
    f->at += n;
    return static_cast<tsize_t>(n);
}

tsize_t writeProc(thandle_t, tdata_t, tsize_t) {
    return 0;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR) {
        base = f->at;
    } else if (whence == SEEK_END) {
        base = f->data.size();
    }
    f->at = base + offset;
    return f->at;
}

int closeProc(thandle_t) {
    return 0;
}

toff_t sizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}

int mapProc(thandle_t h, tdata_t* base, toff_t* size) {
    auto* f = static_cast<MemoryFile*>(h);
    *base = const_cast<std::byte*>(f->data.data());
    *size = f->data.size();
    return 1;
}

void unmapProc(thandle_t, tdata_t, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// libtiff prints its complaints by default; a picture browser shows none.
void silenceHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// No single buffer libtiff makes may exceed this: a hostile header could
// otherwise ask for a strip of hundreds of gigabytes.
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t{1} << 30;

TiffHandle openTiff(MemoryFile& file) {
    silenceHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return nullptr;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAllocation);
    // Read through the mapping: libtiff is more forgiving of odd byte
    // counts there than when it reads through the procedures.
    TiffHandle tif(TIFFClientOpenExt("picture", "r", &file, readProc, writeProc, seekProc,
                                     closeProc, sizeProc, mapProc, unmapProc, options));
    TIFFOpenOptionsFree(options);
    return tif;
}

bool identify(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    if (!h || h->length < 4) {
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(h->bytes.data());
    return (b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
           (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42);
}

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
         const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    MemoryFile file{input.bytes()};
    const TiffHandle tif = openTiff(file);
    if (!tif) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    info.left = 0;
    info.top = 0;
    info.width = static_cast<std::int32_t>(std::min<std::uint32_t>(width, INT32_MAX));
    info.height = static_cast<std::int32_t>(std::min<std::uint32_t>(height, INT32_MAX));
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(samples * bits);
    info.hInfo = nullptr;
    return static_cast<int>(ResultCode::Success);
}

// The picture depth for a pixel of `bytesPerPixel` bytes of `bits`-bit samples.
int depthOf(int bytesPerPixel, int bits) {
    const int product = bytesPerPixel * bits;
    return product <= 1 ? 1 : product <= 4 ? 4 : product <= 8 ? 8 : 24;
}

struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    bool tiled = false;
    bool premultiplied = false; // the fourth sample is associated alpha
};

// The layouts read strip by strip, as stored.
bool isPlainLayout(const Layout& l) {
    if (l.tiled || l.planar != PLANARCONFIG_CONTIG) {
        return false;
    }
    if (l.samples == 1 && (l.bits == 1 || l.bits == 4 || l.bits == 8)) {
        return l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK ||
               l.photometric == PHOTOMETRIC_PALETTE;
    }
    // RGB with extra samples (alpha) keeps its first three: alpha is
    // stripped, as every decoder here does (premultiplied colours are
    // divided by their alpha first).
    return l.samples >= 3 && l.bits == 8 && l.photometric == PHOTOMETRIC_RGB;
}

bool fillColourTable(TIFF* tif, const Layout& l, PictureBuffer& picture) {
    const int entries = picture.colourEntries();
    if (entries == 0) {
        return true;
    }
    const int levels = (1 << l.bits) - 1;
    if (l.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t* red = nullptr;
        std::uint16_t* green = nullptr;
        std::uint16_t* blue = nullptr;
        if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) == 0) {
            return false;
        }
        const int count = std::min(entries, 1 << l.bits);
        // Old writers stored 8-bit values in the 16-bit fields.
        bool sixteenBit = false;
        for (int i = 0; i < count; ++i) {
            sixteenBit = sixteenBit || red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
        }
        const int divisor = sixteenBit ? 257 : 1;
        for (int i = 0; i < count; ++i) {
            picture.setPaletteColour(
                i, colourWord(red[i] / divisor, green[i] / divisor, blue[i] / divisor));
        }
        return true;
    }
    const int step = 255 / levels;
    for (int i = 0; i <= levels && i < entries; ++i) {
        const int v = l.photometric == PHOTOMETRIC_MINISWHITE ? 255 - i * step : i * step;
        picture.setPaletteColour(i, colourWord(v, v, v));
    }
    return true;
}

// Colours stored multiplied by their alpha get their own values back, so
// that dropping the alpha leaves the colours the picture was made with.
void unpremultiply(std::byte* bgr, unsigned alpha) {
    if (alpha == 0 || alpha == 255) {
        return;
    }
    for (int c = 0; c < 3; ++c) {
        const unsigned v = std::to_integer<unsigned>(bgr[c]);
        bgr[c] = static_cast<std::byte>(std::min(255u, (v * 255 + alpha / 2) / alpha));
    }
}

ResultCode readStrips(TIFF* tif, const Layout& l, PictureBuffer& picture) {
    const tmsize_t scanline = TIFFScanlineSize(tif);
    const tmsize_t stripSize = TIFFStripSize(tif);
    if (scanline <= 0 || stripSize <= 0) {
        return ResultCode::BrokenData;
    }
    std::uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, l.height);
    std::vector<std::byte> strip(static_cast<std::size_t>(stripSize));
    const std::size_t rowBytes =
        std::min<std::size_t>(static_cast<std::size_t>(scanline), picture.rowBytes());
    const int bytesPerPixel = std::max(1, static_cast<int>(scanline / l.width));
    const bool rgb = l.samples >= 3 && depthOf(bytesPerPixel, l.bits) == 24;
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    std::uint32_t y = 0;
    for (tstrip_t s = 0; s < strips && y < l.height; ++s) {
        const tmsize_t got = TIFFReadEncodedStrip(tif, s, strip.data(), stripSize);
        if (got < 0) {
            break; // the rows read so far are the picture
        }
        const std::uint32_t rows = std::min<std::uint32_t>(
            {rowsPerStrip, l.height - y, static_cast<std::uint32_t>(got / scanline)});
        for (std::uint32_t r = 0; r < rows; ++r, ++y) {
            const std::byte* in = strip.data() + static_cast<std::size_t>(r) * scanline;
            std::byte* out = picture.row(static_cast<int>(y)).data();
            if (rgb) {
                for (std::uint32_t x = 0; x < l.width; ++x, in += bytesPerPixel, out += 3) {
                    out[0] = in[2];
                    out[1] = in[1];
                    out[2] = in[0];
                    if (l.premultiplied) {
                        unpremultiply(out, std::to_integer<unsigned>(in[3]));
                    }
                }
            } else {
                std::memcpy(out, in, rowBytes);
            }
        }
        if (rows < rowsPerStrip && y < l.height) {
            break; // a short strip: the data ends here
        }
    }
    return ResultCode::Success;
}

// libtiff's RGBA reader mirrors to the requested orientation from the file's
// (TIFF 6.0 tag 274; 5-8 are read as 1-4): the vertical mirror of the file's
// own corner leaves the columns as stored and reverses the rows.
int storedRowsBottomUp(TIFF* tif) {
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    switch (orientation) {
    case ORIENTATION_TOPRIGHT:
    case ORIENTATION_RIGHTTOP:
        return ORIENTATION_BOTRIGHT;
    case ORIENTATION_BOTRIGHT:
    case ORIENTATION_RIGHTBOT:
        return ORIENTATION_TOPRIGHT;
    case ORIENTATION_BOTLEFT:
    case ORIENTATION_LEFTBOT:
        return ORIENTATION_TOPLEFT;
    default:
        return ORIENTATION_BOTLEFT;
    }
}

ResultCode readThroughRgba(TIFF* tif, const Layout& l, PictureBuffer& out) {
    char message[1024] = {};
    if (TIFFRGBAImageOK(tif, message) == 0) {
        return ResultCode::UnsupportedKind;
    }
    PictureBuffer picture =
        PictureBuffer::create(static_cast<int>(l.width), static_cast<int>(l.height), 24);
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    std::vector<std::uint32_t> raster;
    try {
        raster.resize(static_cast<std::size_t>(l.width) * l.height);
    } catch (const std::bad_alloc&) {
        return ResultCode::OutOfMemory;
    }
    // The stored rows bottom-up, as the strip reader gives them: asking for
    // the upside-down of the file's own orientation makes libtiff turn the
    // row order and nothing else, so the EXIF orientation is applied once,
    // after decoding, whichever way a TIFF is read. A partly broken picture
    // still delivers what could be read; one of which nothing could be read
    // is a kind the library cannot handle.
    if (TIFFReadRGBAImageOriented(tif, l.width, l.height, raster.data(), storedRowsBottomUp(tif),
                                  0) == 0 &&
        std::all_of(raster.begin(), raster.end(), [](std::uint32_t p) { return p == 0; })) {
        return ResultCode::UnsupportedKind;
    }
    std::byte* rows = picture.pixels().data();
    const std::size_t rowBytes = picture.rowBytes();
    for (std::uint32_t y = 0; y < l.height; ++y) {
        const std::uint32_t* in = raster.data() + static_cast<std::size_t>(y) * l.width;
        std::byte* o = rows + static_cast<std::size_t>(y) * rowBytes;
        for (std::uint32_t x = 0; x < l.width; ++x, o += 3) {
            o[0] = static_cast<std::byte>(TIFFGetB(in[x]));
            o[1] = static_cast<std::byte>(TIFFGetG(in[x]));
            o[2] = static_cast<std::byte>(TIFFGetR(in[x]));
        }
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
    MemoryFile file{input.bytes()};
    const TiffHandle tif = openTiff(file);
    if (!tif) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    Layout l;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &l.planar);
    if (TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &l.photometric) == 0) {
        l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    l.tiled = TIFFIsTiled(tif.get()) != 0;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (l.samples >= 4 &&
        TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) != 0 &&
        extraCount >= 1 && l.samples - extraCount == 3) {
        l.premultiplied = extraKinds[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    if (l.width == 0 || l.height == 0) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    if (static_cast<std::uint64_t>(l.width) * l.height > kMaxPicturePixels) {
        return static_cast<int>(ResultCode::OutOfMemory);
    }
    if (l.samples > kMaxSamples) {
        return static_cast<int>(ResultCode::UnsupportedKind);
    }
    if (!isPlainLayout(l)) {
        const ResultCode r = readThroughRgba(tif.get(), l, out);
        if (r == ResultCode::Success) {
            out.setResolution(kPixelsPerMetre, kPixelsPerMetre);
        }
        return static_cast<int>(r);
    }
    const tmsize_t scanline = TIFFScanlineSize(tif.get());
    const int bytesPerPixel = std::max(1, static_cast<int>(scanline / l.width));
    const int depth = depthOf(bytesPerPixel, l.bits);
    PictureBuffer picture =
        PictureBuffer::create(static_cast<int>(l.width), static_cast<int>(l.height), depth);
    if (!picture) {
        return static_cast<int>(ResultCode::OutOfMemory);
    }
    picture.setResolution(kPixelsPerMetre, kPixelsPerMetre);
    if (!fillColourTable(tif.get(), l, picture)) {
        return static_cast<int>(ResultCode::BrokenData);
    }
    const ResultCode r = readStrips(tif.get(), l, picture);
    if (r == ResultCode::Success) {
        out = std::move(picture);
    }
    return static_cast<int>(r);
}

constexpr std::string_view kInformation[] = {
    "00IN", "TIFF to DIB filter Ver 0.01 (Vemra)", "*.tif", "TIFF", "*.tiff", "TIFF",
};

} // namespace

const BuiltinDecoder kTiffDecoder = {
    kTiffDecoderId, "--TIF--", "*.TIF;*.TIFF", "#InnerTIFF", true,
    kInformation,   identify,  info,           picture,
};

} // namespace vemra
