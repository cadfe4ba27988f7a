// Built-in decoder 1005: the picture of a video file is its key frame at or
// before the middle of its first video stream, decoded with FFmpeg (loaded
// when the first video is opened). The file is mapped and handed to FFmpeg
// through our own reader, so a video inside a larger file (at an offset) is
// read in place.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/video_library.h"

#include <cstring>
#include <memory>

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

// Only called once the library is loaded (VideoFile::open checks).
const VideoLibrary& av() {
    return *videoLibrary();
}

struct IoDeleter {
    void operator()(AVIOContext* io) const {
        if (io != nullptr) {
            av().freep(&io->buffer);
        }
        av().ioContextFree(&io);
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* f) const { av().formatCloseInput(&f); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { av().codecFreeContext(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av().frameFree(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av().packetFree(&p); }
};
struct ScaleDeleter {
    void operator()(SwsContext* s) const { av().scaleFreeContext(s); }
};

// An opened container over mapped bytes, with its first video stream.
class VideoFile {
public:
    // False also when FFmpeg cannot be loaded: then no video can be read.
    bool open(std::span<const std::byte> data) {
        if (videoLibrary() == nullptr) {
            return false;
        }
        m_input = {data, 0};
        auto* buffer = static_cast<unsigned char*>(av().malloc(kIoBufferBytes));
        if (buffer == nullptr) {
            return false;
        }
        m_io.reset(av().ioAllocContext(buffer, kIoBufferBytes, 0, &m_input, readPacket, nullptr,
                                       seekInput));
        if (!m_io) {
            av().free(buffer);
            return false;
        }
        AVFormatContext* format = av().formatAllocContext();
        if (format == nullptr) {
            return false;
        }
        format->pb = m_io.get();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        // avformat_open_input frees the context itself when it fails.
        if (av().formatOpenInput(&format, nullptr, nullptr, nullptr) < 0) {
            return false;
        }
        m_format.reset(format);
        if (av().formatFindStreamInfo(format, nullptr) < 0) {
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
        duration = av().rescaleQ(video.format()->duration, AV_TIME_BASE_Q, s->time_base);
    }
    if (duration == AV_NOPTS_VALUE || duration <= 0) {
        return start;
    }
    return duration / 2 + start;
}

// Decodes the first frame that comes out after the current position.
std::unique_ptr<AVFrame, FrameDeleter> firstFrame(const VideoFile& video, AVCodecContext* codec) {
    std::unique_ptr<AVPacket, PacketDeleter> packet(av().packetAlloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av().frameAlloc());
    if (!packet || !frame) {
        return nullptr;
    }
    bool draining = false;
    while (!draining) {
        if (av().readFrame(video.format(), packet.get()) < 0) {
            draining = true;
            av().codecSendPacket(codec, nullptr);
        } else {
            if (packet->stream_index == video.stream()->index) {
                av().codecSendPacket(codec, packet.get());
            }
            av().packetUnref(packet.get());
        }
        const int got = av().codecReceiveFrame(codec, frame.get());
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
    const AVCodec* decoder = av().codecFindDecoder(parameters->codec_id);
    if (decoder == nullptr) {
        return ResultCode::ReadError;
    }
    std::unique_ptr<AVCodecContext, CodecDeleter> codec(av().codecAllocContext(decoder));
    if (!codec || av().codecParametersToContext(codec.get(), parameters) < 0 ||
        av().codecOpen(codec.get(), decoder, nullptr) < 0) {
        return ResultCode::ReadError;
    }
    // The key frame at or before the middle; without an index, frame 0.
    if (av().seekFrame(video.format(), video.stream()->index, middleOf(video),
                       AVSEEK_FLAG_BACKWARD) < 0) {
        av().seekFrame(video.format(), video.stream()->index, 0, AVSEEK_FLAG_BACKWARD);
    }
    av().codecFlushBuffers(codec.get());
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
    std::unique_ptr<SwsContext, ScaleDeleter> scale(av().scaleGetContext(
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
    if (av().scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) !=
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
