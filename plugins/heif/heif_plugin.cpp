// HEIF and AVIF picture plug-in (00IN) over libheif: the primary picture of
// an ISO/IEC 23008-12 file (HEVC or AV1 coded), with its rotation and
// mirroring applied and any alpha laid over white.

#include "../common/spi_support.h"

#include <libheif/heif.h>

#include <memory>
#include <string>

namespace {

using namespace vemra::spi;

constexpr std::size_t kMaxFileBytes = std::size_t{512} << 20;
// libheif's own limit on a side; together with kMaxPixels it keeps a hostile
// header from asking for an absurd canvas.
constexpr int kMaxSide = 65535;

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

bool isHeif(const std::uint8_t* p, std::size_t size) {
    if (size < 12) {
        return false;
    }
    const int length = static_cast<int>(std::min<std::size_t>(size, SPI_HEADER_BYTES));
    return heif_check_filetype(p, length) == heif_filetype_yes_supported;
}

int errorCode(const heif_error& error) {
    switch (error.code) {
    case heif_error_Ok:
        return SPI_ALL_RIGHT;
    case heif_error_Memory_allocation_error:
        return SPI_NO_MEMORY;
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
        return SPI_WINDOW_ERROR;
    case heif_error_Decoder_plugin_error:
        return SPI_MEMORY_ERROR;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

// Opens the primary picture of `source`.
int openPrimary(const SourceBytes& source, Context& context, Handle& handle) {
    if (!isHeif(source.data, source.size)) {
        return SPI_NOT_SUPPORT;
    }
    context.reset(heif_context_alloc());
    if (!context) {
        return SPI_NO_MEMORY;
    }
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    heif_context_set_max_decoding_threads(context.get(), 0);
    int code = errorCode(heif_context_read_from_memory_without_copy(context.get(), source.data,
                                                                    source.size, nullptr));
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    heif_image_handle* h = nullptr;
    code = errorCode(heif_context_get_primary_image_handle(context.get(), &h));
    handle.reset(h);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > kMaxPixels) {
        return SPI_OUT_OF_ORDER;
    }
    return SPI_ALL_RIGHT;
}

int decode(const heif_image_handle* handle, Dib24& dib) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    heif_image* raw = nullptr;
    const int code = errorCode(heif_decode_image(
        handle, &raw, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr));
    const Image image(raw);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    if (!image) {
        return SPI_OUT_OF_ORDER;
    }
    // The decoded size is the one that counts: rotation may swap the sides.
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    if (plane == nullptr || stride < width * channels ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
        return SPI_OUT_OF_ORDER;
    }
    const int allocated = allocateDib24(width, height, dib);
    if (allocated != SPI_ALL_RIGHT) {
        return allocated;
    }
    for (int y = 0; y < height; ++y) {
        storeRowBgr(plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                    channels, width, dib.rowFromTop(y));
    }
    return SPI_ALL_RIGHT;
}

} // namespace

extern "C" {

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    return guarded([&]() -> int {
        const std::string text =
            std::string("HEIF/AVIF picture plug-in for Vemra (libheif ") + heif_get_version() + ")";
        return writeInfo({"00IN", text, "*.heic;*.heif;*.hif", "HEIF", "*.avif", "AVIF"}, index,
                         buf, buflen);
    });
}

SPI_EXPORT int IsSupported(const char* /*filename*/, const void* header) {
    return guarded([&]() -> int {
        const Header h = readHeader(header);
        return isHeif(h.bytes.data(), h.bytes.size()) ? 1 : 0;
    });
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, PictureInfo* info) {
    return guarded([&]() -> int {
        if (info == nullptr) {
            return SPI_NO_FUNCTION;
        }
        SourceBytes source;
        Context context;
        Handle handle;
        int code = readSource(buf, len, flag, kMaxFileBytes, source);
        if (code == SPI_ALL_RIGHT) {
            code = openPrimary(source, context, handle);
        }
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        *info = PictureInfo{};
        info->width = heif_image_handle_get_width(handle.get());
        info->height = heif_image_handle_get_height(handle.get());
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
        Context context;
        Handle handle;
        int code = readSource(buf, len, flag, kMaxFileBytes, source);
        if (code == SPI_ALL_RIGHT) {
            code = openPrimary(source, context, handle);
        }
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        if (shouldAbort(progress, 0, 1, user_data)) {
            return SPI_ABORT;
        }
        Dib24 dib;
        code = decode(handle.get(), dib);
        if (code != SPI_ALL_RIGHT) {
            return code;
        }
        if (shouldAbort(progress, 1, 1, user_data)) {
            return SPI_ABORT;
        }
        dib.release(info_block, pixel_block);
        return SPI_ALL_RIGHT;
    });
}

} // extern "C"
