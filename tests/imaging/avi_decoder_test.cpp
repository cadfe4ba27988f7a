// The video frame decoder (1005) on AVI files written with FFmpeg.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace vemra {
namespace {

// An AVI of `frames` flat grey frames (frame i has luma 20 + 10 i), MPEG-4
// with a key frame every `gop` frames. False when FFmpeg cannot write one.
bool writeAvi(const std::string& path, int frames, int gop) {
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str()) < 0) {
        return false;
    }
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream* stream = encoder != nullptr ? avformat_new_stream(format, nullptr) : nullptr;
    AVCodecContext* codec = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
    bool ok = stream != nullptr && codec != nullptr;
    if (ok) {
        codec->width = 32;
        codec->height = 24;
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        codec->time_base = AVRational{1, 10};
        codec->gop_size = gop;
        codec->max_b_frames = 0;
        codec->qmin = codec->qmax = 2;
        stream->time_base = codec->time_base;
        // Every frame differs from the last; without this each would be
        // taken for a scene change and made a key frame.
        av_opt_set_int(codec, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
        ok = avcodec_open2(codec, encoder, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, codec) >= 0 &&
             avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
             avformat_write_header(format, nullptr) >= 0;
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    for (int i = 0; ok && i <= frames; ++i) {
        const bool flush = i == frames;
        if (!flush) {
            frame->format = AV_PIX_FMT_YUV420P;
            frame->width = 32;
            frame->height = 24;
            av_frame_get_buffer(frame, 0);
            for (int p = 0; p < 3; ++p) {
                const int rows = p == 0 ? 24 : 12;
                for (int y = 0; y < rows; ++y) {
                    std::memset(frame->data[p] + y * frame->linesize[p], p == 0 ? 20 + 10 * i : 128,
                                static_cast<std::size_t>(frame->linesize[p]));
                }
            }
            frame->pts = i;
        }
        avcodec_send_frame(codec, flush ? nullptr : frame);
        av_frame_unref(frame);
        while (avcodec_receive_packet(codec, packet) == 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(format, packet);
        }
    }
    if (ok) {
        av_write_trailer(format);
        avio_closep(&format->pb);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_free_context(format);
    return ok;
}

int lumaOf(const PictureBuffer& p) {
    return greenOf(p.pixel(p.width() / 2, p.height() / 2));
}

TEST(AviDecoder, TheKeyFrameAtOrBeforeTheMiddle) {
    test::TempDir dir;
    const std::string path = dir.file("clip.avi");
    if (!writeAvi(path, 20, 6)) {
        GTEST_SKIP() << "FFmpeg has no MPEG-4 encoder here";
    }
    const auto file = test::readFile(path);
    EXPECT_TRUE(test::identifies(kAviDecoderId, file));
    EXPECT_FALSE(test::identifies(kAviDecoderId,
                                  test::bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'})));
    const auto info = test::infoFile(kAviDecoderId, path);
    EXPECT_EQ(info.code, 0);
    EXPECT_EQ(info.info.width, 32);
    EXPECT_EQ(info.info.height, 24);
    EXPECT_EQ(info.info.colorDepth, 0);

    const auto d = test::decodeFile(kAviDecoderId, path);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.picture.bitCount(), 24);
    EXPECT_EQ(d.picture.width(), 32);
    // Middle = frame 10; key frames are 0, 6, 12, 18: frame 6 is shown.
    // Video luma 80 is about 75 in full-range RGB.
    const int expected = (20 + 10 * 6 - 16) * 255 / 219;
    EXPECT_NEAR(lumaOf(d.picture), expected, 4);
}

TEST(AviDecoder, ModesAndBrokenFiles) {
    test::TempDir dir;
    const std::string path = dir.file("clip.avi");
    if (!writeAvi(path, 4, 1)) {
        GTEST_SKIP() << "FFmpeg has no MPEG-4 encoder here";
    }
    auto file = test::readFile(path);
    EXPECT_EQ(test::decodeMemory(kAviDecoderId, file).code, 3);
    EXPECT_EQ(test::infoMemory(kAviDecoderId, file).code, -1);
    PictureBuffer none;
    EXPECT_EQ(findBuiltinDecoder(kAviDecoderId)->picture(path.c_str(), 0, 3, none, {}), -1);
    EXPECT_EQ(test::decodeFile(kAviDecoderId, dir.file("missing.avi")).code, 6);
    // Within a larger file, at an offset.
    auto wrapped = test::bytes({1, 2, 3, 4, 5});
    wrapped.insert(wrapped.end(), file.begin(), file.end());
    test::writeFile(dir.file("wrapped.bin"), wrapped);
    EXPECT_EQ(findBuiltinDecoder(kAviDecoderId)
                  ->picture(dir.file("wrapped.bin").c_str(), 5, SPI_SOURCE_FILE, none, {}),
              0);
    // Cut and damaged files fail with 6 or decode; they never crash.
    for (std::size_t cut : {std::size_t{12}, file.size() / 3, file.size() - 9}) {
        test::writeFile(
            dir.file("cut.avi"),
            std::vector<std::byte>(file.begin(), file.begin() + static_cast<long>(cut)));
        const auto d = test::decodeFile(kAviDecoderId, dir.file("cut.avi"));
        EXPECT_TRUE(d.code == 0 || d.code == 6) << cut;
    }
    for (std::size_t at = 0; at < file.size(); at += 97) {
        auto flipped = file;
        flipped[at] ^= std::byte{0x3C};
        test::writeFile(dir.file("flip.avi"), flipped);
        const auto d = test::decodeFile(kAviDecoderId, dir.file("flip.avi"));
        EXPECT_TRUE(d.code == 0 || d.code == 6 || d.code == 4) << at;
    }
}

} // namespace
} // namespace vemra
