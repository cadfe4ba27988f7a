// WebP picture plug-in (00IN) over libwebp: lossy and lossless pictures, with
// alpha laid over white, and the first frame of an animation. Reads the
// WebP container as described in Google's "WebP Container Specification".

#include "../common/spi_support.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace vemra::spi;

// A WebP file is a RIFF container; nothing real comes near this size.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

std::string description() {
    const int v = WebPGetDecoderVersion();
    return std::string("WebP picture plug-in for Vemra (libwebp ") + std::to_string(v >> 16) + "." +
           std::to_string(v >> 8 & 0xFF) + "." + std::to_string(v & 0xFF) + ")";
}

bool isWebP(const std::uint8_t* p, std::size_t size) {
    return size >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0;
}

int features(const SourceBytes& source, WebPBitstreamFeatures& out) {
    if (!isWebP(source.data, source.size)) {
        return SPI_NOT_SUPPORT;
    }
    switch (WebPGetFeatures(source.data, source.size, &out)) {
    case VP8_STATUS_OK:
        break;
    case VP8_STATUS_OUT_OF_MEMORY:
        return SPI_NO_MEMORY;
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return SPI_OUT_OF_ORDER;
    default:
        return SPI_NOT_SUPPORT;
    }
    if (out.width <= 0 || out.height <= 0 ||
        static_cast<std::int64_t>(out.width) * out.height > kMaxPixels) {
        return SPI_OUT_OF_ORDER;
    }
    return SPI_ALL_RIGHT;
}

int statusCode(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OK:
        return SPI_ALL_RIGHT;
    case VP8_STATUS_OUT_OF_MEMORY:
        return SPI_NO_MEMORY;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return SPI_WINDOW_ERROR;
    case VP8_STATUS_USER_ABORT:
        return SPI_ABORT;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

// A still picture: opaque ones decode straight into the bottom-up rows;
// pictures with alpha go through an RGBA buffer to be laid over white.
int decodeStill(const SourceBytes& source, const WebPBitstreamFeatures& f, Dib24& dib) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        return SPI_MEMORY_ERROR;
    }
    std::unique_ptr<WebPDecBuffer, void (*)(WebPDecBuffer*)> cleanup(&config.output,
                                                                     WebPFreeDecBuffer);
    if (f.has_alpha) {
        config.output.colorspace = MODE_RGBA;
    } else {
        config.output.colorspace = MODE_BGR;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = static_cast<std::uint8_t*>(dib.pixels);
        config.output.u.RGBA.stride = static_cast<int>(dib.stride);
        config.output.u.RGBA.size = dib.stride * static_cast<std::size_t>(dib.height);
        config.options.flip = 1; // bottom row first, as the picture block wants it
    }
    const int code = statusCode(WebPDecode(source.data, source.size, &config));
    if (code != SPI_ALL_RIGHT || !f.has_alpha) {
        return code;
    }
    const WebPRGBABuffer& rgba = config.output.u.RGBA;
    if (config.output.width != dib.width || config.output.height != dib.height) {
        return SPI_OUT_OF_ORDER;
    }
    for (int y = 0; y < dib.height; ++y) {
        storeRowBgr(rgba.rgba + static_cast<std::size_t>(y) * rgba.stride, 4, dib.width,
                    dib.rowFromTop(y));
    }
    return SPI_ALL_RIGHT;
}

// An animation: the canvas after its first frame.
int decodeFirstFrame(const SourceBytes& source, Dib24& dib) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        return SPI_MEMORY_ERROR;
    }
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{source.data, source.size};
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    if (!decoder) {
        return SPI_OUT_OF_ORDER;
    }
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        static_cast<int>(info.canvas_width) != dib.width ||
        static_cast<int>(info.canvas_height) != dib.height) {
        return SPI_OUT_OF_ORDER;
    }
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr) {
        return SPI_OUT_OF_ORDER;
    }
    const std::size_t stride = static_cast<std::size_t>(dib.width) * 4;
    for (int y = 0; y < dib.height; ++y) {
        storeRowBgr(canvas + static_cast<std::size_t>(y) * stride, 4, dib.width, dib.rowFromTop(y));
    }
    return SPI_ALL_RIGHT;
}

} // namespace

extern "C" {

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    return guarded([&]() -> int {
        const std::string text = description();
        return writeInfo({"00IN", text, "*.webp", "WebP"}, index, buf, buflen);
    });
}

SPI_EXPORT int IsSupported(const char* /*filename*/, const void* header) {
    return guarded([&]() -> int {
        const Header h = readHeader(header);
        return isWebP(h.bytes.data(), h.bytes.size()) ? 1 : 0;
    });
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, PictureInfo* info) {
    return guarded([&]() -> int {
        if (info == nullptr) {
            return SPI_NO_FUNCTION;
        }
        SourceBytes source;
        int code = readSource(buf, len, flag, kMaxFileBytes, source);
        WebPBitstreamFeatures f;
        if (code == SPI_ALL_RIGHT) {
            code = features(source, f);
        }
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        *info = PictureInfo{};
        info->width = f.width;
        info->height = f.height;
        info->colorDepth = 24;
        return SPI_ALL_RIGHT;
    });
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    return guarded([&]() -> int {
        if (info_block == nullptr || pixel_block == nullptr) {
            return SPI_NO_FUNCTION;
        }
        *info_block = nullptr;
        *pixel_block = nullptr;
        SourceBytes source;
        int code = readSource(buf, len, flag, kMaxFileBytes, source);
        WebPBitstreamFeatures f;
        if (code == SPI_ALL_RIGHT) {
            code = features(source, f);
        }
        Dib24 dib;
        if (code == SPI_ALL_RIGHT) {
            code = allocateDib24(f.width, f.height, dib);
        }
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        if (shouldAbort(progress, 0, f.height, user_data)) {
            return SPI_ABORT;
        }
        code = f.has_animation ? decodeFirstFrame(source, dib) : decodeStill(source, f, dib);
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        if (shouldAbort(progress, f.height, f.height, user_data)) {
            return SPI_ABORT;
        }
        dib.release(info_block, pixel_block);
        return SPI_ALL_RIGHT;
    });
}

} // extern "C"
