#pragma once

// FFmpeg, loaded the first time a video file is opened. Linking it would
// load its hundred-odd dependent libraries (codecs, network and font
// libraries) into every start of the programs, about 0.1 s of processor time
// each, for a format few folders hold. The functions are FFmpeg's own,
// taken from the libraries whose major versions these headers describe.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace vemra {

struct VideoLibrary {
    decltype(&::av_frame_alloc) frameAlloc;
    decltype(&::av_frame_free) frameFree;
    decltype(&::av_free) free;
    decltype(&::av_freep) freep;
    decltype(&::av_log_set_level) logSetLevel;
    decltype(&::av_malloc) malloc;
    decltype(&::av_rescale_q) rescaleQ;
    decltype(&::av_packet_alloc) packetAlloc;
    decltype(&::av_packet_free) packetFree;
    decltype(&::av_packet_unref) packetUnref;
    decltype(&::avcodec_alloc_context3) codecAllocContext;
    decltype(&::avcodec_find_decoder) codecFindDecoder;
    decltype(&::avcodec_flush_buffers) codecFlushBuffers;
    decltype(&::avcodec_free_context) codecFreeContext;
    decltype(&::avcodec_open2) codecOpen;
    decltype(&::avcodec_parameters_to_context) codecParametersToContext;
    decltype(&::avcodec_receive_frame) codecReceiveFrame;
    decltype(&::avcodec_send_packet) codecSendPacket;
    decltype(&::av_read_frame) readFrame;
    decltype(&::av_seek_frame) seekFrame;
    decltype(&::avformat_alloc_context) formatAllocContext;
    decltype(&::avformat_close_input) formatCloseInput;
    decltype(&::avformat_find_stream_info) formatFindStreamInfo;
    decltype(&::avformat_open_input) formatOpenInput;
    decltype(&::avio_alloc_context) ioAllocContext;
    decltype(&::avio_context_free) ioContextFree;
    decltype(&::sws_freeContext) scaleFreeContext;
    decltype(&::sws_getContext) scaleGetContext;
    decltype(&::sws_scale) scale;
};

// FFmpeg, loaded (and told to print nothing) on the first call; null when
// its libraries or one of these functions cannot be loaded. The libraries
// stay loaded for the rest of the process. Any thread.
const VideoLibrary* videoLibrary();

} // namespace vemra
