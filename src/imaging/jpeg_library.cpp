#include "imaging/jpeg_library.h"

#include "imaging/decoder.h"
#include "imaging/jpeg_decoder.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vemra {
namespace {

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<jpeg::ErrorManager*>(cinfo->err)->jump, 1);
}

void silentMessage(j_common_ptr) {}

// Where four CMYK samples are turned into blue, green and red. Adobe's
// writers store the samples inverted, which the marker tells.
void cmykToBgr(const unsigned char* in, std::byte* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<std::byte>((y * k + 127) / 255);
        out[1] = static_cast<std::byte>((m * k + 127) / 255);
        out[2] = static_cast<std::byte>((c * k + 127) / 255);
    }
}

} // namespace

namespace jpeg {

Decompressor::Decompressor() {
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = errorExit;
    error.pub.output_message = silentMessage;
    jpeg_create_decompress(&cinfo);
    // A progressive stream keeps every coefficient of the picture in memory
    // (about two bytes a pixel per component) whatever reduction is asked
    // for, so a file of a few bytes declaring 65535 x 65535 would have the
    // library allocate gigabytes. Past this much it fails instead; that
    // still admits progressive pictures of well over 150 megapixels.
    cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
}

Decompressor::~Decompressor() {
    jpeg_destroy_decompress(&cinfo);
}

HeaderResult readHeaderFromSource(Decompressor& d, bool keepComments) {
    if (setjmp(d.error.jump) != 0) {
        return HeaderResult::LibraryError;
    }
    if (keepComments) {
        jpeg_save_markers(&d.cinfo, JPEG_COM, 0xFFFF);
    }
    return jpeg_read_header(&d.cinfo, TRUE) == JPEG_HEADER_OK ? HeaderResult::Read
                                                              : HeaderResult::NoImage;
}

HeaderResult readHeader(Decompressor& d, std::span<const std::byte> data, bool keepComments) {
    if (setjmp(d.error.jump) != 0) {
        return HeaderResult::LibraryError;
    }
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    return readHeaderFromSource(d, keepComments);
}

ResultCode prepareRows(Decompressor& d, int reduction, RowTarget& target) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    target.fourComponents =
        cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (target.fourComponents) {
        cinfo.out_color_space = JCS_CMYK;
    } else if (cinfo.num_components == 1 || cinfo.num_components == 3) {
        cinfo.out_color_space = JCS_EXT_BGR;
    } else {
        return ResultCode::UnsupportedKind;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(std::max(1, reduction));
    jpeg_calc_output_dimensions(&cinfo);
    const auto width = static_cast<std::int64_t>(cinfo.output_width);
    const auto height = static_cast<std::int64_t>(cinfo.output_height);
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    target.picture = PictureBuffer::create(static_cast<int>(width), static_cast<int>(height), 24);
    if (!target.picture) {
        return ResultCode::OutOfMemory;
    }
    if (target.fourComponents) {
        target.cmyk.resize(static_cast<std::size_t>(width) * 4);
    }
    return ResultCode::Success;
}

void readRowBatch(Decompressor& d, RowTarget& target) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    const int rows = static_cast<int>(cinfo.output_height);
    const int line = static_cast<int>(cinfo.output_scanline);
    const std::size_t rowBytes = target.picture.rowBytes();
    // Row y from the top lives at stored row (height - 1 - y).
    std::byte* bottom = target.picture.pixels().data();
    auto rowAt = [&](int y) { return bottom + static_cast<std::size_t>(rows - 1 - y) * rowBytes; };
    std::array<JSAMPROW, 16> pointers{};
    if (target.fourComponents) {
        pointers[0] = target.cmyk.data();
        if (jpeg_read_scanlines(&cinfo, pointers.data(), 1) == 1) {
            cmykToBgr(target.cmyk.data(), rowAt(line), static_cast<int>(cinfo.output_width),
                      cinfo.saw_Adobe_marker != 0);
        }
        return;
    }
    const int batch = std::min<int>(static_cast<int>(pointers.size()), rows - line);
    for (int i = 0; i < batch; ++i) {
        pointers[static_cast<std::size_t>(i)] = reinterpret_cast<JSAMPROW>(rowAt(line + i));
    }
    jpeg_read_scanlines(&cinfo, pointers.data(), static_cast<JDIMENSION>(batch));
}

} // namespace jpeg
} // namespace vemra
