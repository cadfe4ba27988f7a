// The HEIF/AVIF plug-in (heif.spi) on pictures written with libheif's
// encoders, where the system's libheif has them.

#include "plugin_test_support.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstring>

namespace vemra {
namespace {

struct Format {
    heif_compression_format compression;
    const char* name;
};

const Format kFormats[] = {{heif_compression_HEVC, "HEIF"}, {heif_compression_AV1, "AVIF"}};

void PrintTo(const Format& format, std::ostream* os) {
    *os << format.name;
}

heif_error writeBytes(heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<std::byte>*>(userdata);
    out->insert(out->end(), static_cast<const std::byte*>(data),
                static_cast<const std::byte*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// Encodes a gradient (with alpha across the columns when `alpha`); empty
// when the encoder is missing or refuses.
std::vector<std::byte> encode(heif_compression_format format, int width, int height, bool alpha) {
    std::vector<std::byte> out;
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    const heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if (heif_context_get_encoder_for_format(context, format, &encoder).code == heif_error_Ok &&
        heif_image_create(width, height, heif_colorspace_RGB, chroma, &image).code ==
            heif_error_Ok &&
        heif_image_add_plane(image, heif_channel_interleaved, width, height, 8).code ==
            heif_error_Ok) {
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        const int channels = alpha ? 4 : 3;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = plane + y * stride + x * channels;
                p[0] = static_cast<std::uint8_t>(x * 255 / width);
                p[1] = static_cast<std::uint8_t>(y * 255 / height);
                p[2] = 128;
                if (alpha) {
                    p[3] = x < width / 2 ? 0 : 255;
                }
            }
        }
        heif_encoder_set_lossy_quality(encoder, 90);
        heif_writer writer{1, writeBytes};
        if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code !=
                heif_error_Ok ||
            heif_context_write(context, &writer, &out).code != heif_error_Ok) {
            out.clear();
        }
    }
    if (image != nullptr) {
        heif_image_release(image);
    }
    if (encoder != nullptr) {
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return out;
}

// libheif's own decode of the primary picture, as top-down RGBA.
std::vector<std::uint8_t> referenceRgba(const std::vector<std::byte>& file, int& width,
                                        int& height) {
    std::vector<std::uint8_t> out;
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    if (heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr)
                .code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                          nullptr)
                .code == heif_error_Ok) {
        width = heif_image_get_width(image, heif_channel_interleaved);
        height = heif_image_get_height(image, heif_channel_interleaved);
        int stride = 0;
        const std::uint8_t* plane =
            heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < height; ++y) {
            out.insert(out.end(), plane + y * stride, plane + y * stride + width * 4);
        }
    }
    if (image != nullptr) {
        heif_image_release(image);
    }
    if (handle != nullptr) {
        heif_image_handle_release(handle);
    }
    heif_context_free(context);
    return out;
}

class HeifPlugin : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        if (!heif_have_encoder_for_format(GetParam().compression)) {
            GTEST_SKIP() << "this libheif has no " << GetParam().name
                         << " encoder; the decoding checks need one to make pictures";
        }
        if (!heif_have_decoder_for_format(GetParam().compression)) {
            GTEST_SKIP() << "this libheif has no " << GetParam().name << " decoder";
        }
    }

    PluginModule m_plugin = test::shippedPlugin("heif");
};

TEST_P(HeifPlugin, DecodesLikeLibheifWithAlphaOverWhite) {
    for (const bool alpha : {false, true}) {
        const std::vector<std::byte> file = encode(GetParam().compression, 64, 48, alpha);
        ASSERT_FALSE(file.empty()) << "alpha " << alpha;
        EXPECT_TRUE(m_plugin.isSupported("x", test::headerOf(file)));

        PluginPictureInfo info;
        ASSERT_EQ(m_plugin.pictureInfo(PluginSource::memory(file), info), ResultCode::Success);
        EXPECT_EQ(info.width, 64);
        EXPECT_EQ(info.height, 48);
        EXPECT_EQ(info.bitCount, 24);

        PictureBuffer p;
        ASSERT_EQ(m_plugin.picture(PluginSource::memory(file), p), ResultCode::Success);
        ASSERT_TRUE(p.isValid());
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> rgba = referenceRgba(file, width, height);
        ASSERT_EQ(p.width(), width);
        ASSERT_EQ(p.height(), height);
        int wrong = 0;
        long error = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* q = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                const auto mix = [&](int c) {
                    return (q[c] * q[3] + 255 * (255 - q[3]) + 127) / 255;
                };
                const std::uint32_t got = p.pixel(x, y);
                wrong += got != colourWord(mix(0), mix(1), mix(2));
                if (!alpha) {
                    error +=
                        std::abs(redOf(got) - x * 255 / 64) + std::abs(greenOf(got) - y * 255 / 48);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_LT(error / (width * height), 8) << "far from the encoded gradient";
        if (alpha) {
            EXPECT_EQ(p.pixel(2, 20), colourWord(255, 255, 255));
        }
    }
}

TEST_P(HeifPlugin, SurvivesDamage) {
    const std::vector<std::byte> good = encode(GetParam().compression, 64, 48, false);
    ASSERT_FALSE(good.empty());
    std::uint32_t seed = 3;
    for (int round = 0; round < 30; ++round) {
        std::vector<std::byte> bad = good;
        if (round < 10) {
            bad.resize(bad.size() * static_cast<std::size_t>(round) / 10);
        } else {
            for (int i = 0; i < 1 + round % 3; ++i) {
                seed = seed * 1103515245u + 12345u;
                bad[seed % bad.size()] ^= static_cast<std::byte>(1u << (seed >> 16 & 7));
            }
        }
        PictureBuffer p;
        if (m_plugin.picture(PluginSource::memory(bad), p) == ResultCode::Success) {
            EXPECT_TRUE(p.isValid());
        } else {
            EXPECT_TRUE(p.isNull());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, HeifPlugin, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format>& info) {
                             return std::string(info.param.name);
                         });

TEST(HeifPluginMisc, IdentifiesAndRefusesOtherFiles) {
    PluginModule plugin = test::shippedPlugin("heif");
    EXPECT_EQ(plugin.kind(), PluginKind::Picture);
    EXPECT_EQ(plugin.extensionList(), "*.heic;*.heif;*.hif;*.avif");
    const std::vector<std::byte> noise = test::noise(3000, 4);
    EXPECT_FALSE(plugin.isSupported("x.heic", test::headerOf(noise)));
    PictureBuffer p;
    EXPECT_EQ(plugin.picture(PluginSource::memory(noise), p), ResultCode::InvalidData);
    EXPECT_EQ(plugin.picture(PluginSource::file("/nonexistent.heic"), p), ResultCode::OpenFailure);
}

} // namespace
} // namespace vemra
