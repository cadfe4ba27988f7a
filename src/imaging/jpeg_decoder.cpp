// Built-in decoder 1001: JPEG through libjpeg(-turbo)'s classic API.
//
// The library reports errors through an error-exit hook that must not
// return; ours jumps back into the decoder with longjmp. The functions that
// hold the setjmp keep no objects with destructors alive across library
// calls, so the jump skips nothing that needs cleaning up; everything owned
// lives in the callers.

#include "imaging/jpeg_decoder.h"
#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "platform/text_encoding.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

namespace vemra {
namespace {

std::atomic<bool> g_jpegErrorSeen{false};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    g_jpegErrorSeen.store(true, std::memory_order_relaxed);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void silentMessage(j_common_ptr) {}

// One decompression object, destroyed with the wrapper on every path.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};

    Decompressor() {
        cinfo.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = errorExit;
        error.pub.output_message = silentMessage;
        jpeg_create_decompress(&cinfo);
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

enum class HeaderResult { Read, NoImage, LibraryError };

HeaderResult readHeader(Decompressor& d, std::span<const std::byte> data, bool keepComments) {
    if (setjmp(d.error.jump) != 0) {
        return HeaderResult::LibraryError;
    }
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    if (keepComments) {
        jpeg_save_markers(&d.cinfo, JPEG_COM, 0xFFFF);
    }
    return jpeg_read_header(&d.cinfo, TRUE) == JPEG_HEADER_OK ? HeaderResult::Read
                                                              : HeaderResult::NoImage;
}

bool isMarkerAt(std::span<const std::byte> data, std::size_t at, unsigned marker) {
    return at + 1 < data.size() && data[at] == std::byte{0xFF} &&
           std::to_integer<unsigned>(data[at + 1]) == marker;
}

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

// What the decoding loop leaves behind, kept outside its frame so that it
// survives a jump out of the library.
struct DecodeState {
    bool started = false; // the picture exists and rows are being written
    bool aborted = false;
    int lastPercent = -10;
};

bool reportProgress(const DecodeOptions& options, DecodeState& state, int line, int height) {
    const int percent = static_cast<int>(static_cast<long long>(line) * 100 / height);
    if (percent < state.lastPercent + 10) {
        return true;
    }
    state.lastPercent = percent;
    if (progressAborts(options, line, height)) {
        state.aborted = true;
        return false;
    }
    return true;
}

// Decodes into `picture`, which it creates once the output size is known.
// Returns the result for the error-free path; a library error returns
// LibraryFailure with `state` telling how far it got.
ResultCode decodeRows(Decompressor& d, PictureBuffer& picture, std::vector<unsigned char>& cmyk,
                      const DecodeOptions& options, DecodeState& state) {
    if (setjmp(d.error.jump) != 0) {
        return ResultCode::LibraryFailure;
    }
    jpeg_decompress_struct& cinfo = d.cinfo;
    const bool fourComponents =
        cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (fourComponents) {
        cinfo.out_color_space = JCS_CMYK;
    } else if (cinfo.num_components == 1 || cinfo.num_components == 3) {
        cinfo.out_color_space = JCS_EXT_BGR;
    } else {
        return ResultCode::UnsupportedKind;
    }
    int denominator = std::max(1, options.reduction) >>
                      std::clamp(builtinDecoderSettings().jpegReductionShift, 0, 30);
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(std::max(1, denominator));
    jpeg_calc_output_dimensions(&cinfo);
    const auto width = static_cast<std::int64_t>(cinfo.output_width);
    const auto height = static_cast<std::int64_t>(cinfo.output_height);
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    picture = PictureBuffer::create(static_cast<int>(width), static_cast<int>(height), 24);
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    if (fourComponents) {
        cmyk.resize(static_cast<std::size_t>(width) * 4);
    }
    jpeg_start_decompress(&cinfo);
    state.started = true;

    const int rows = static_cast<int>(height);
    const std::size_t rowBytes = picture.rowBytes();
    // Row y from the top lives at stored row (height - 1 - y).
    std::byte* bottom = picture.pixels().data();
    auto rowAt = [&](int y) { return bottom + static_cast<std::size_t>(rows - 1 - y) * rowBytes; };
    std::array<JSAMPROW, 16> pointers{};
    while (cinfo.output_scanline < cinfo.output_height) {
        const int line = static_cast<int>(cinfo.output_scanline);
        if (!reportProgress(options, state, line, rows)) {
            return ResultCode::Aborted;
        }
        if (fourComponents) {
            pointers[0] = cmyk.data();
            if (jpeg_read_scanlines(&cinfo, pointers.data(), 1) == 1) {
                cmykToBgr(cmyk.data(), rowAt(line), static_cast<int>(width),
                          cinfo.saw_Adobe_marker != 0);
            }
            continue;
        }
        const int batch = std::min<int>(static_cast<int>(pointers.size()), rows - line);
        for (int i = 0; i < batch; ++i) {
            pointers[static_cast<std::size_t>(i)] = reinterpret_cast<JSAMPROW>(rowAt(line + i));
        }
        jpeg_read_scanlines(&cinfo, pointers.data(), static_cast<JDIMENSION>(batch));
    }
    jpeg_finish_decompress(&cinfo);
    if (progressAborts(options, rows, rows)) {
        state.aborted = true;
        return ResultCode::Aborted;
    }
    return ResultCode::Success;
}

std::string firstComment(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
        if (m->marker == JPEG_COM) {
            const auto* text = reinterpret_cast<const char*>(m->data);
            std::string_view comment(text, m->data_length);
            comment = comment.substr(0, comment.find('\0'));
            return toUtf8(comment);
        }
    }
    return {};
}

bool identify(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    if (!h) {
        return false;
    }
    const auto data = h->view().subspan(jpegDataStart(h->view()));
    if (data.size() < 3 || data[0] != std::byte{0xFF} || data[1] != std::byte{0xD8} ||
        data[2] != std::byte{0xFF}) {
        return false;
    }
    // A header too large for the window (a big Exif block) makes the library
    // fail; the signature is trusted then.
    Decompressor d;
    return readHeader(d, data, false) != HeaderResult::NoImage;
}

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    const auto data = input.bytes().subspan(jpegDataStart(input.bytes()));
    Decompressor d;
    if (readHeader(d, data, true) != HeaderResult::Read) {
        return static_cast<int>(ResultCode::InvalidData);
    }
    info.left = 0;
    info.top = 0;
    info.width = static_cast<std::int32_t>(d.cinfo.image_width);
    info.height = static_cast<std::int32_t>(d.cinfo.image_height);
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(d.cinfo.num_components * d.cinfo.data_precision);
    info.hInfo = commentHandle(firstComment(d.cinfo));
    return static_cast<int>(ResultCode::Success);
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& options) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    // A file is read from its offset as it stands; data in memory may carry
    // a wrapper in front of the JPEG stream, which the scan skips.
    auto data = input.bytes();
    if (!input.fromFile()) {
        data = data.subspan(jpegDataStart(data));
    }
    Decompressor d;
    if (readHeader(d, data, false) != HeaderResult::Read) {
        return static_cast<int>(ResultCode::InvalidData);
    }
    PictureBuffer picture;
    std::vector<unsigned char> cmyk;
    DecodeState state;
    const ResultCode result = decodeRows(d, picture, cmyk, options, state);
    if (result == ResultCode::LibraryFailure && state.started && !state.aborted) {
        // Broken data after the first rows: what was decoded is shown.
        out = std::move(picture);
        return static_cast<int>(ResultCode::Success);
    }
    if (result == ResultCode::Success) {
        out = std::move(picture);
    }
    return static_cast<int>(result);
}

constexpr std::string_view kInformation[] = {
    "00IN", "JPEG to DIB filter Ver 0.01 (Vemra)", "*.jpg", "JPEG", "*.jpeg", "JPEG",
};

} // namespace

std::size_t jpegDataStart(std::span<const std::byte> data) {
    for (std::size_t start = 0; start + 1 < data.size(); ++start) {
        if (!isMarkerAt(data, start, 0xD8)) {
            continue;
        }
        std::size_t at = start + 2;
        while (at + 3 < data.size() && data[at] == std::byte{0xFF}) {
            const unsigned marker = std::to_integer<unsigned>(data[at + 1]);
            if (marker == 0xDA) {
                return start;
            }
            const std::size_t length = std::to_integer<std::size_t>(data[at + 2]) << 8 |
                                       std::to_integer<std::size_t>(data[at + 3]);
            if (length < 2) {
                break;
            }
            at += 2 + length;
        }
    }
    return 0;
}

bool jpegErrorSeen() {
    return g_jpegErrorSeen.load(std::memory_order_relaxed);
}

const BuiltinDecoder kJpegDecoder = {
    kJpegDecoderId, "--JPG--", "*.JPG;*.JPEG;*.JPE;*.JIFF",
    "#InnerJPEG",   true,      kInformation,
    identify,       info,      picture,
};

} // namespace vemra
