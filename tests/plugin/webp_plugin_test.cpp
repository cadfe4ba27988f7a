// The WebP plug-in (webp.spi) on pictures written with libwebp's encoder.

#include "plugin_test_support.h"

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <fcntl.h>
#include <unistd.h>

namespace vemra {
namespace {

using test::TempDir;

std::vector<std::byte> owned(std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> out(reinterpret_cast<std::byte*>(data),
                               reinterpret_cast<std::byte*>(data) + size);
    WebPFree(data);
    return out;
}

// A picture with smooth areas and noise, `channels` 3 (RGB) or 4 (RGBA with
// alpha from 0 to 255 across the columns).
std::vector<std::uint8_t> pattern(int width, int height, int channels) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * channels);
    const std::vector<std::byte> n = test::noise(out.size(), 11);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &out[(static_cast<std::size_t>(y) * width + x) * channels];
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>(n[(y * width + x) % n.size()]);
            if (channels == 4) {
                p[3] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            }
        }
    }
    return out;
}

std::vector<std::byte> losslessRgb(int width, int height) {
    const std::vector<std::uint8_t> rgb = pattern(width, height, 3);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGB(rgb.data(), width, height, width * 3, &out);
    return owned(out, size);
}

// The colour a decoded RGBA pixel must have once laid over white.
std::uint32_t overWhite(const std::uint8_t* rgba) {
    const auto mix = [&](int c) { return (rgba[c] * rgba[3] + 255 * (255 - rgba[3]) + 127) / 255; };
    return colourWord(mix(0), mix(1), mix(2));
}

void expectLikeLibwebp(const PictureBuffer& p, const std::vector<std::byte>& file) {
    int width = 0;
    int height = 0;
    std::uint8_t* rgba = WebPDecodeRGBA(reinterpret_cast<const std::uint8_t*>(file.data()),
                                        file.size(), &width, &height);
    ASSERT_NE(rgba, nullptr);
    ASSERT_EQ(p.width(), width);
    ASSERT_EQ(p.height(), height);
    ASSERT_EQ(p.bitCount(), 24);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* q = rgba + (static_cast<std::size_t>(y) * width + x) * 4;
            wrong += p.pixel(x, y) != overWhite(q);
        }
    }
    WebPFree(rgba);
    EXPECT_EQ(wrong, 0);
}

TEST(WebPPlugin, LosslessDecodesPixelExact) {
    PluginModule plugin = test::shippedPlugin("webp");
    EXPECT_EQ(plugin.kind(), PluginKind::Picture);
    EXPECT_EQ(plugin.extensionList(), "*.webp");
    const int width = 37;
    const int height = 23;
    const std::vector<std::byte> file = losslessRgb(width, height);
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(plugin.isSupported("x.webp", test::headerOf(file)));

    PictureBuffer p;
    ASSERT_EQ(plugin.picture(PluginSource::memory(file), p), ResultCode::Success);
    ASSERT_TRUE(p.isValid());
    const std::vector<std::uint8_t> rgb = pattern(width, height, 3);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* q = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            wrong += p.pixel(x, y) != colourWord(q[0], q[1], q[2]);
        }
    }
    EXPECT_EQ(wrong, 0);
    expectLikeLibwebp(p, file);
}

TEST(WebPPlugin, LossyAndAlphaDecodeLikeLibwebp) {
    PluginModule plugin = test::shippedPlugin("webp");
    const std::vector<std::uint8_t> rgb = pattern(64, 48, 3);
    std::uint8_t* out = nullptr;
    std::size_t size = WebPEncodeRGB(rgb.data(), 64, 48, 64 * 3, 80, &out);
    const std::vector<std::byte> lossy = owned(out, size);
    PictureBuffer p;
    ASSERT_EQ(plugin.picture(PluginSource::memory(lossy), p), ResultCode::Success);
    expectLikeLibwebp(p, lossy);

    const std::vector<std::uint8_t> rgba = pattern(50, 20, 4);
    size = WebPEncodeLosslessRGBA(rgba.data(), 50, 20, 50 * 4, &out);
    const std::vector<std::byte> alpha = owned(out, size);
    ASSERT_EQ(plugin.picture(PluginSource::memory(alpha), p), ResultCode::Success);
    expectLikeLibwebp(p, alpha);
    EXPECT_EQ(p.pixel(0, 5), colourWord(255, 255, 255)) << "transparent is white";
    EXPECT_EQ(p.pixel(49, 5), colourWord(rgba[(5 * 50 + 49) * 4], rgba[(5 * 50 + 49) * 4 + 1],
                                         rgba[(5 * 50 + 49) * 4 + 2]));

    size = WebPEncodeRGBA(rgba.data(), 50, 20, 50 * 4, 75, &out);
    const std::vector<std::byte> lossyAlpha = owned(out, size);
    ASSERT_EQ(plugin.picture(PluginSource::memory(lossyAlpha), p), ResultCode::Success);
    expectLikeLibwebp(p, lossyAlpha);
}

TEST(WebPPlugin, AnimationGivesItsFirstFrame) {
    PluginModule plugin = test::shippedPlugin("webp");
    WebPAnimEncoderOptions options;
    ASSERT_TRUE(WebPAnimEncoderOptionsInit(&options));
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(16, 12, &options);
    ASSERT_NE(encoder, nullptr);
    WebPConfig config;
    ASSERT_TRUE(WebPConfigInit(&config));
    config.lossless = 1;
    int timestamp = 0;
    for (const std::uint32_t argb : {0xFFFF0000u, 0xFF0000FFu}) {
        WebPPicture frame;
        ASSERT_TRUE(WebPPictureInit(&frame));
        frame.use_argb = 1;
        frame.width = 16;
        frame.height = 12;
        ASSERT_TRUE(WebPPictureAlloc(&frame));
        for (int i = 0; i < 16 * 12; ++i) {
            frame.argb[i] = argb;
        }
        ASSERT_TRUE(WebPAnimEncoderAdd(encoder, &frame, timestamp, &config));
        WebPPictureFree(&frame);
        timestamp += 100;
    }
    ASSERT_TRUE(WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr));
    WebPData data;
    WebPDataInit(&data);
    ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &data));
    WebPAnimEncoderDelete(encoder);
    const std::vector<std::byte> file(reinterpret_cast<const std::byte*>(data.bytes),
                                      reinterpret_cast<const std::byte*>(data.bytes) + data.size);
    WebPDataClear(&data);

    PluginPictureInfo info;
    ASSERT_EQ(plugin.pictureInfo(PluginSource::memory(file), info), ResultCode::Success);
    EXPECT_EQ(info.width, 16);
    EXPECT_EQ(info.height, 12);
    PictureBuffer p;
    ASSERT_EQ(plugin.picture(PluginSource::memory(file), p), ResultCode::Success);
    EXPECT_EQ(p.pixel(0, 0), colourWord(255, 0, 0));
    EXPECT_EQ(p.pixel(15, 11), colourWord(255, 0, 0));
}

TEST(WebPPlugin, InfoFromFileAtAnOffset) {
    PluginModule plugin = test::shippedPlugin("webp");
    TempDir dir;
    std::vector<std::byte> file = test::noise(128, 1);
    const std::vector<std::byte> webp = losslessRgb(9, 4);
    file.insert(file.end(), webp.begin(), webp.end());
    test::writeFile(dir.file("x.webp"), file);
    PluginPictureInfo info;
    ASSERT_EQ(plugin.pictureInfo(PluginSource::file(dir.file("x.webp"), 128), info),
              ResultCode::Success);
    EXPECT_EQ(info.width, 9);
    EXPECT_EQ(info.height, 4);
    EXPECT_EQ(info.bitCount, 24);
    EXPECT_TRUE(info.comment.empty());
    PictureBuffer p;
    EXPECT_EQ(plugin.picture(PluginSource::file(dir.file("x.webp"), 128), p), ResultCode::Success);
    EXPECT_EQ(plugin.picture(PluginSource::file(dir.file("x.webp")), p), ResultCode::InvalidData);
    EXPECT_EQ(plugin.picture(PluginSource::file(dir.file("none.webp")), p),
              ResultCode::OpenFailure);
    EXPECT_FALSE(plugin.isSupported("x.webp", test::headerOf(file)));

    const int fd = ::open(dir.file("x.webp").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(plugin.isSupportedDescriptor("x.webp", fd));
    ASSERT_EQ(::lseek(fd, 128, SEEK_SET), 128);
    EXPECT_TRUE(plugin.isSupportedDescriptor("x.webp", fd));
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 128);
    ::close(fd);
}

int stop(int, int, intptr_t) {
    return 1;
}

TEST(WebPPlugin, StopsWhenAskedAndSurvivesDamage) {
    PluginModule plugin = test::shippedPlugin("webp");
    const std::vector<std::byte> good = losslessRgb(40, 30);
    PictureBuffer p;
    EXPECT_EQ(plugin.picture(PluginSource::memory(good), p, stop, 0), ResultCode::Aborted);
    EXPECT_TRUE(p.isNull());

    std::uint8_t* out = nullptr;
    const std::vector<std::uint8_t> rgb = pattern(40, 30, 3);
    const std::vector<std::byte> lossy =
        owned(out, WebPEncodeRGB(rgb.data(), 40, 30, 120, 70, &out));
    for (const std::vector<std::byte>* file : {&good, &lossy}) {
        std::uint32_t seed = 5;
        for (int round = 0; round < 40; ++round) {
            std::vector<std::byte> bad = *file;
            if (round < 10) {
                bad.resize(bad.size() * static_cast<std::size_t>(round) / 10);
            } else {
                for (int i = 0; i < 1 + round % 3; ++i) {
                    seed = seed * 1103515245u + 12345u;
                    bad[seed % bad.size()] ^= static_cast<std::byte>(1u << (seed >> 16 & 7));
                }
            }
            PluginPictureInfo info;
            plugin.pictureInfo(PluginSource::memory(bad), info);
            const ResultCode code = plugin.picture(PluginSource::memory(bad), p);
            if (code == ResultCode::Success) {
                EXPECT_TRUE(p.isValid());
            } else {
                EXPECT_TRUE(p.isNull());
            }
        }
    }
}

} // namespace
} // namespace vemra
