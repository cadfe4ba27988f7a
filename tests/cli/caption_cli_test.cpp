// vemra-cli caption: a picture file and an archive member identified through
// the registry, their notes, and "$(CP)" through a library on the loader's
// search path.

#include "../imaging/test_support.h"
#include "../plugin/plugin_test_support.h"
#include "imaging/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

std::vector<std::byte> jpegBytes(int width, int height) {
    std::vector<std::byte> out;
    EXPECT_TRUE(encodeJpeg(test::patternPicture(width, height, 24), JpegOptions{}, out));
    return out;
}

class CaptionCli : public ::testing::Test {
protected:
    test::CliRun caption(const std::string& arguments) {
        return test::runCli(m_settings + "caption " + arguments);
    }
    std::string q(const std::string& text) { return test::shellQuoted(text); }

    test::TempDir m_dir;
    std::string m_settings = "--settings " + test::shellQuoted(m_dir.file("s.ini")) + " ";
    test::ScopedEnvironment m_utc{"TZ", "UTC"};
};

TEST_F(CaptionCli, APictureFileWithItsNote) {
    const std::string picture = m_dir.file("夕日.jpg");
    test::writeFile(picture, jpegBytes(40, 30));
    std::filesystem::last_write_time(
        picture, std::filesystem::file_time_type::clock::from_sys(
                     std::chrono::sys_seconds(std::chrono::seconds(1700000000))));
    ASSERT_EQ(test::runCli(m_settings + "note " + q(picture) + " --set '$(W) wide, $(N)'").status,
              0);
    // The size with thousands separators.
    std::string size = std::to_string(std::filesystem::file_size(picture));
    for (auto at = static_cast<std::ptrdiff_t>(size.size()) - 3; at > 0; at -= 3)
        size.insert(static_cast<std::size_t>(at), 1, ',');
    const test::CliRun run =
        caption(q(picture) + " '$(PN) $(W)x$(H) $(C)b $(I)' '$(S)' '$(D) $(T)' '$(Note)' "
                             "'$(PP)|$(PicDir)|$(FN)|$(AP)$(AN)' '$(Nothing)' '$(CP)'");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string expected = "夕日.jpg 40x30 24b By ZRV.NQ\n" + size +
                                 "\n2023/11/14 22:13:20\n40 wide, $(N)\n" + picture + "|" +
                                 m_dir.path().string() + "|夕日|\n$(Nothing)\n\n";
    EXPECT_EQ(run.out, expected);
}

TEST_F(CaptionCli, TheCpLibraryIsFoundAlongTheLoadersPath) {
    const std::string picture = m_dir.file("a.jpg");
    test::writeFile(picture, jpegBytes(8, 8));
    test::ScopedEnvironment path(
        "LD_LIBRARY_PATH", std::filesystem::path(VEMRA_CPDECODE_LIBRARY).parent_path().string());
    const test::CliRun run = caption(q(picture) + " '$(CP)$(PN)'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "[ok] [128] [" + picture + "] a.jpg\n");
}

TEST_F(CaptionCli, AnArchiveMember) {
    const std::string archive = m_dir.file("album.zip");
    ASSERT_TRUE(test::writeArchive(archive, "zip", "",
                                   {{"photos/inside.jpg", jpegBytes(16, 8), 1600000000},
                                    {"notes.txt", test::bytes({'h', 'i'}), 1600000000}}));
    const std::string format = " '$(PP)|$(PN)|$(AP)|$(AN)|$(PD)|$(W)x$(H)|$(D) $(T)|$(L)|$(CP)'";
    const std::string expected = "inside.jpg|inside.jpg|" + archive + "|album.zip|" +
                                 m_dir.path().string() + "|16x8|2020/09/13 12:26:40|";
    for (const char* name : {"inside.jpg", "photos/inside.jpg"}) {
        const test::CliRun run = caption(q(archive) + " --member " + q(name) + format);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out.rfind(expected, 0), 0u) << run.out;
        EXPECT_EQ(run.out.back(), '\n');
    }
    // A member no decoder takes still has its names and size.
    const test::CliRun text = caption(q(archive) + " --member notes.txt '$(PN) $(S) $(W)'");
    EXPECT_EQ(text.out, "notes.txt 2 0\n");
}

TEST_F(CaptionCli, Failures) {
    EXPECT_EQ(caption("").status, 2);
    EXPECT_EQ(caption(q(m_dir.file("x.jpg"))).status, 2); // no format
    EXPECT_EQ(caption(q(m_dir.file("missing.jpg")) + " '$(PN)'").status, 1);
    EXPECT_EQ(caption(q(m_dir.path().string()) + " '$(PN)'").status, 1); // a folder
    const std::string picture = m_dir.file("a.jpg");
    test::writeFile(picture, jpegBytes(8, 8));
    EXPECT_EQ(caption(q(picture) + " --member a '$(PN)'").status, 1); // not an archive
    const std::string archive = m_dir.file("b.zip");
    ASSERT_TRUE(test::writeArchive(archive, "zip", "", {{"in.jpg", jpegBytes(8, 8)}}));
    EXPECT_EQ(caption(q(archive) + " --member other.jpg '$(PN)'").status, 1);
}

} // namespace
} // namespace vemra
