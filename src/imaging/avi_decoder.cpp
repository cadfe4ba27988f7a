// Built-in decoder 1005: the picture of a video file is its key frame at or
// before the middle of its first video stream, decoded with FFmpeg. The file
// is mapped and handed to FFmpeg through our own reader, so a video inside
// a larger file (at an offset) is read in place.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <memory>
#include <mutex>

namespace vemra {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

struct MemoryInput {
    std::span<const std::byte> data;
    std::int64_t at = 0;
};

int readPacket(void* opaque, std::uint8_t* out, int size) {
    auto* in = static_cast<MemoryInput*>(opaque);
    const auto left = static_cast<std::int64_t>(in->data.size()) - in->at;
    if (left <= 0) {
        return AVERROR_EOF;
    }
    const int n = static_cast<int>(std::min<std::int64_t>(size, left));
    std::memcpy(out, in->data.data() + in->at, static_cast<std::size_t>(n));
    in->at += n;
    return n;
}

std::int64_t seekInput(void* opaque, std::int64_t offset, int whence) {
    auto* in = static_cast<MemoryInput*>(opaque);
    const auto size = static_cast<std::int64_t>(in->data.size());
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += in->at;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return -1;
    }
    if (offset < 0 || offset > size) {
        return -1;
    }
    in->at = offset;
    return offset;
}

struct IoDeleter {
    void operator()(AVIOContext* io) const {
        if (io != nullptr) {
            av_freep(&io->buffer);
        }
        avio_context_free(&io);
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// An opened container over mapped bytes, with its first video stream.
class VideoFile {
public:
    bool open(std::span<const std::byte> data) {
        quietLibraries();
        m_input = {data, 0};
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
        if (buffer == nullptr) {
            return false;
        }
        m_io.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, &m_input, readPacket, nullptr,
                                      seekInput));
        if (!m_io) {
            av_free(buffer);
            return false;
        }
        AVFormatContext* format = avformat_alloc_context();
        if (format == nullptr) {
            return false;
        }
        format->pb = m_io.get();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        // avformat_open_input frees the context itself when it fails.
        if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0) {
            return false;
        }
        m_format.reset(format);
        if (avformat_find_stream_info(format, nullptr) < 0) {
            return false;
        }
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                m_stream = format->streams[i];
                return true;
            }
        }
        return false;
    }

    AVFormatContext* format() const { return m_format.get(); }
    AVStream* stream() const { return m_stream; }

private:
    MemoryInput m_input;
    // Declared before the format so that it is freed after it.
    std::unique_ptr<AVIOContext, IoDeleter> m_io;
    std::unique_ptr<AVFormatContext, FormatDeleter> m_format;
    AVStream* m_stream = nullptr;
};

bool identify(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    return h && h->length >= 11 && std::memcmp(h->bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(h->bytes.data() + 8, "AVI", 3) == 0;
}

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
         const DecodeOptions& /*options*/) {
    if (sourceMode(mode) != SPI_SOURCE_FILE) {
        return static_cast<int>(ResultCode::Failure);
    }
    SourceBytes input;
    VideoFile video;
    if (input.open(source, offsetOrLength, mode) != ResultCode::Success ||
        !video.open(input.bytes())) {
        return static_cast<int>(ResultCode::Failure);
    }
    info.left = 0;
    info.top = 0;
    info.width = video.stream()->codecpar->width;
    info.height = video.stream()->codecpar->height;
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = 0;
    info.hInfo = nullptr;
    return static_cast<int>(ResultCode::Success);
}

// The middle of the stream, in its own time base.
std::int64_t middleOf(const VideoFile& video) {
    const AVStream* s = video.stream();
    const std::int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
    std::int64_t duration = s->duration;
    if (duration == AV_NOPTS_VALUE && video.format()->duration != AV_NOPTS_VALUE) {
        duration = av_rescale_q(video.format()->duration, AV_TIME_BASE_Q, s->time_base);
    }
    if (duration == AV_NOPTS_VALUE || duration <= 0) {
        return start;
    }
    return duration / 2 + start;
}

// Decodes the first frame that comes out after the current position.
std::unique_ptr<AVFrame, FrameDeleter> firstFrame(const VideoFile& video, AVCodecContext* codec) {
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    if (!packet || !frame) {
        return nullptr;
    }
    bool draining = false;
    while (!draining) {
        if (av_read_frame(video.format(), packet.get()) < 0) {
            draining = true;
            avcodec_send_packet(codec, nullptr);
        } else {
            if (packet->stream_index == video.stream()->index) {
                avcodec_send_packet(codec, packet.get());
            }
            av_packet_unref(packet.get());
        }
        const int got = avcodec_receive_frame(codec, frame.get());
        if (got == 0) {
            return frame;
        }
        if (got != AVERROR(EAGAIN)) {
            break;
        }
    }
    return nullptr;
}

ResultCode decode(std::span<const std::byte> data, PictureBuffer& out) {
    VideoFile video;
    if (!video.open(data)) {
        return ResultCode::ReadError;
    }
    const AVCodecParameters* parameters = video.stream()->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) {
        return ResultCode::ReadError;
    }
    std::unique_ptr<AVCodecContext, CodecDeleter> codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        return ResultCode::ReadError;
    }
    // The key frame at or before the middle; without an index, frame 0.
    if (av_seek_frame(video.format(), video.stream()->index, middleOf(video),
                      AVSEEK_FLAG_BACKWARD) < 0) {
        av_seek_frame(video.format(), video.stream()->index, 0, AVSEEK_FLAG_BACKWARD);
    }
    avcodec_flush_buffers(codec.get());
    const auto frame = firstFrame(video, codec.get());
    if (!frame || frame->width <= 0 || frame->height <= 0) {
        return ResultCode::ReadError;
    }
    if (static_cast<std::int64_t>(frame->width) * frame->height > kMaxPicturePixels) {
        return ResultCode::OutOfMemory;
    }
    PictureBuffer picture = PictureBuffer::create(frame->width, frame->height, 24);
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    std::unique_ptr<SwsContext, ScaleDeleter> scale(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scale) {
        return ResultCode::ReadError;
    }
    // Writing from the last stored row upwards turns the rows bottom-up.
    const auto rowBytes = static_cast<int>(picture.rowBytes());
    std::uint8_t* lastRow = reinterpret_cast<std::uint8_t*>(picture.pixels().data()) +
                            static_cast<std::size_t>(frame->height - 1) * picture.rowBytes();
    std::uint8_t* planes[4] = {lastRow, nullptr, nullptr, nullptr};
    int strides[4] = {-rowBytes, 0, 0, 0};
    if (sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) !=
        frame->height) {
        return ResultCode::ReadError;
    }
    out = std::move(picture);
    return ResultCode::Success;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& /*options*/) {
    switch (sourceMode(mode)) {
    case SPI_SOURCE_FILE:
        break;
    case SPI_SOURCE_MEMORY:
        return static_cast<int>(ResultCode::BrokenData);
    default:
        return static_cast<int>(ResultCode::Failure);
    }
    SourceBytes input;
    if (input.open(source, offsetOrLength, mode) != ResultCode::Success) {
        return static_cast<int>(ResultCode::ReadError);
    }
    return static_cast<int>(decode(input.bytes(), out));
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "AVI to DIB filter Ver 0.01 (Vemra, FFmpeg)",
    "*.avi",
    "AVI",
};

} // namespace

const BuiltinDecoder kAviDecoder = {
    kAviDecoderId, "--AVI--", "*.AVI", "#InnerAVI", false, kInformation, identify, info, picture,
};

} // namespace vemra
