// Built-in decoder 1001: JPEG through libjpeg(-turbo)'s classic API, the
// whole picture in one call. The library wrapper and the row loop are shared
// with the step-wise decoder (jpeg_steps.cpp).

#include "imaging/jpeg_decoder.h"
#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/jpeg_library.h"
#include "platform/text_encoding.h"

#include <string>
#include <vector>

namespace vemra {
namespace {

using jpeg::Decompressor;
using jpeg::HeaderResult;
using jpeg::readHeader;

bool isMarkerAt(std::span<const std::byte> data, std::size_t at, unsigned marker) {
    return at + 1 < data.size() && data[at] == std::byte{0xFF} &&
           std::to_integer<unsigned>(data[at + 1]) == marker;
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

// Decodes into `target`, whose picture it creates once the output size is
// known. Returns the result for the error-free path; a library error returns
// LibraryFailure with `state` telling how far it got.
ResultCode decodeRows(Decompressor& d, jpeg::RowTarget& target, const DecodeOptions& options,
                      DecodeState& state) {
    if (setjmp(d.error.jump) != 0) {
        return ResultCode::LibraryFailure;
    }
    if (const ResultCode prepared = jpeg::prepareRows(d, options.jpegDenominator(), target);
        prepared != ResultCode::Success) {
        return prepared;
    }
    jpeg_start_decompress(&d.cinfo);
    state.started = true;
    const int rows = static_cast<int>(d.cinfo.output_height);
    while (!jpeg::allRowsRead(d)) {
        if (!reportProgress(options, state, static_cast<int>(d.cinfo.output_scanline), rows)) {
            return ResultCode::Aborted;
        }
        jpeg::readRowBatch(d, target);
    }
    jpeg_finish_decompress(&d.cinfo);
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

// What the info operation tells of a picture whose header has been read.
void fillInfo(const jpeg_decompress_struct& cinfo, PictureInfo& info) {
    info.left = 0;
    info.top = 0;
    info.width = static_cast<std::int32_t>(cinfo.image_width);
    info.height = static_cast<std::int32_t>(cinfo.image_height);
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(cinfo.num_components * cinfo.data_precision);
    info.hInfo = commentHandle(firstComment(cinfo));
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

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
         const DecodeOptions& /*options*/) {
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
    fillInfo(d.cinfo, info);
    return static_cast<int>(ResultCode::Success);
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& options) {
    SourceBytes input;
    if (const ResultCode opened = input.openWhole(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    // A file is read from its offset as it stands; data in memory may carry
    // a wrapper in front of the JPEG stream, which the scan skips.
    auto data = input.bytes();
    if (!input.fromFile()) {
        data = data.subspan(jpegDataStart(data));
    }
    return static_cast<int>(decodeJpegStream(data, options, out));
}

// The info operation looks for the stream further into the data when a file
// does not begin with one, where the picture operation fails; such a file
// is left to the two.
int pictureAndInfo(const char* source, std::intptr_t offsetOrLength, unsigned mode,
                   PictureInfo& info, PictureBuffer& out, const DecodeOptions& options) {
    SourceBytes input;
    if (const ResultCode opened = input.openWhole(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    const std::size_t start = jpegDataStart(input.bytes());
    if (input.fromFile() && start != 0) {
        return static_cast<int>(ResultCode::Failure);
    }
    return static_cast<int>(decodeJpegStream(input.bytes().subspan(start), options, out, &info));
}

constexpr std::string_view kInformation[] = {
    "00IN", "JPEG to DIB filter Ver 0.01 (Vemra)", "*.jpg", "JPEG", "*.jpeg", "JPEG",
};

} // namespace

ResultCode decodeJpegStream(std::span<const std::byte> data, const DecodeOptions& options,
                            PictureBuffer& out, PictureInfo* info) {
    Decompressor d;
    if (readHeader(d, data, info != nullptr) != HeaderResult::Read) {
        return ResultCode::InvalidData;
    }
    DecodeOptions chosen = options;
    if (info != nullptr) {
        fillInfo(d.cinfo, *info);
        if (options.requestedWidth > 0 && options.requestedHeight > 0)
            chosen.reduction = thumbnailReduction(info->width, info->height, options.requestedWidth,
                                                  options.requestedHeight);
    }
    jpeg::RowTarget target;
    DecodeState state;
    const ResultCode result = decodeRows(d, target, chosen, state);
    if (result == ResultCode::LibraryFailure && state.started && !state.aborted) {
        // Broken data after the first rows: what was decoded is shown.
        out = std::move(target.picture);
        return ResultCode::Success;
    }
    if (result == ResultCode::Success) {
        out = std::move(target.picture);
    }
    return result;
}

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

const BuiltinDecoder kJpegDecoder = {
    kJpegDecoderId, "--JPG--", "*.JPG;*.JPEG;*.JPE;*.JIFF",
    "#InnerJPEG",   true,      kInformation,
    identify,       info,      picture,
    pictureAndInfo,
};

} // namespace vemra
