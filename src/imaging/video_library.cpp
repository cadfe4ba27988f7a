#include "imaging/video_library.h"

#include "platform/dynamic_library.h"

#include <array>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace vemra {
namespace {

// The shared objects these headers were written for: the same major
// version keeps the structures and calls the decoder relies on.
std::string sharedObject(const char* name, int major) {
    return std::string("lib") + name + ".so." + std::to_string(major);
}

class LoadedVideo {
public:
    // Dependencies first: avutil is needed by the other three.
    bool load() {
        const std::array<std::pair<const char*, int>, 4> names{{
            {"avutil", LIBAVUTIL_VERSION_MAJOR},
            {"swscale", LIBSWSCALE_VERSION_MAJOR},
            {"avcodec", LIBAVCODEC_VERSION_MAJOR},
            {"avformat", LIBAVFORMAT_VERSION_MAJOR},
        }};
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!m_libraries[i].openFromSearchPath(sharedObject(names[i].first, names[i].second)))
                return false;
        }
        const DynamicLibrary& util = m_libraries[0];
        const DynamicLibrary& scale = m_libraries[1];
        const DynamicLibrary& codec = m_libraries[2];
        const DynamicLibrary& format = m_libraries[3];
        bool complete = true;
        const auto take = [&complete](const DynamicLibrary& from, auto& function,
                                      const char* name) {
            function = from.function<std::remove_reference_t<decltype(function)>>(name);
            complete = complete && function != nullptr;
        };
        VideoLibrary& v = m_functions;
        take(util, v.frameAlloc, "av_frame_alloc");
        take(util, v.frameFree, "av_frame_free");
        take(util, v.free, "av_free");
        take(util, v.freep, "av_freep");
        take(util, v.logSetLevel, "av_log_set_level");
        take(util, v.malloc, "av_malloc");
        take(util, v.rescaleQ, "av_rescale_q");
        take(codec, v.packetAlloc, "av_packet_alloc");
        take(codec, v.packetFree, "av_packet_free");
        take(codec, v.packetUnref, "av_packet_unref");
        take(codec, v.codecAllocContext, "avcodec_alloc_context3");
        take(codec, v.codecFindDecoder, "avcodec_find_decoder");
        take(codec, v.codecFlushBuffers, "avcodec_flush_buffers");
        take(codec, v.codecFreeContext, "avcodec_free_context");
        take(codec, v.codecOpen, "avcodec_open2");
        take(codec, v.codecParametersToContext, "avcodec_parameters_to_context");
        take(codec, v.codecReceiveFrame, "avcodec_receive_frame");
        take(codec, v.codecSendPacket, "avcodec_send_packet");
        take(format, v.readFrame, "av_read_frame");
        take(format, v.seekFrame, "av_seek_frame");
        take(format, v.formatAllocContext, "avformat_alloc_context");
        take(format, v.formatCloseInput, "avformat_close_input");
        take(format, v.formatFindStreamInfo, "avformat_find_stream_info");
        take(format, v.formatOpenInput, "avformat_open_input");
        take(format, v.ioAllocContext, "avio_alloc_context");
        take(format, v.ioContextFree, "avio_context_free");
        take(scale, v.scaleFreeContext, "sws_freeContext");
        take(scale, v.scaleGetContext, "sws_getContext");
        take(scale, v.scale, "sws_scale");
        if (complete)
            v.logSetLevel(AV_LOG_QUIET);
        return complete;
    }

    const VideoLibrary& functions() const { return m_functions; }

private:
    std::array<DynamicLibrary, 4> m_libraries;
    VideoLibrary m_functions{};
};

} // namespace

const VideoLibrary* videoLibrary() {
    // Loaded once and kept until the process ends: FFmpeg keeps global
    // state (codec tables, the log level) that outlives any one call.
    static const std::optional<LoadedVideo> loaded = [] {
        std::optional<LoadedVideo> video(std::in_place);
        if (!video->load())
            video.reset();
        return video;
    }();
    return loaded ? &loaded->functions() : nullptr;
}

} // namespace vemra
