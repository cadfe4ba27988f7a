#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "imaging/jpeg_encoder.h"
#include "plugin_test_support.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

// The folder document scanning through the real registry: archive members
// listed by the archive plug-in, pictures identified by the plug-ins and
// the built-ins.
TEST(RegistryScan, TheDocumentListsFilesAndArchiveMembersThroughTheRegistry) {
    test::TempDir dir;
    const auto folder = dir.path() / "pictures";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(
        saveJpeg((folder / "photo.jpg").string(), test::patternPicture(32, 24, 24), 90, false));
    const auto jpeg = test::readFile((folder / "photo.jpg").string());
    ASSERT_TRUE(test::writeArchive((folder / "album.zip").string(), "zip", "",
                                   {{"inner/one.jpg", jpeg}, {"notes.bin", test::noise(100, 1)}}));
    SettingsStore store(dir.file("vemra.ini"));
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    registry.scan(std::filesystem::path(test::shippedPluginPath("archive")).parent_path().string(),
                  "");
    const RegistryScanServices services(registry);

    DocumentOptions options;
    options.archive = true;
    options.scanSpi = true;
    ThumbCache cache;
    FolderDocument doc(services, cache, options);
    doc.openFolder(folder.string(), nullptr, false);
    std::vector<std::string> names;
    for (int i = 0; i < doc.displayedCount(); ++i) {
        const PictureSource& e = *doc.entryAt(i);
        names.push_back(e.fileName + "|" + e.archiveFileName);
    }
    std::sort(names.begin(), names.end());
    // ScanSPI keeps only what a decoder takes, so notes.bin is not listed.
    EXPECT_EQ(names, (std::vector<std::string>{"one.jpg|album.zip", "photo.jpg|"}))
        << ::testing::PrintToString(names);
    // The scan only asks whether a decoder takes each file; the answers:
    EXPECT_EQ(services.identifyFile((folder / "photo.jpg").string()), kJpegDecoderId);
    std::vector<ArchiveEntry> members;
    ASSERT_EQ(services.listArchive(0, (folder / "album.zip").string(), members),
              ResultCode::Success);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(services.identifyMember(0, (folder / "album.zip").string(), members[0]),
              kJpegDecoderId);
    EXPECT_EQ(services.identifyMember(0, (folder / "album.zip").string(), members[1]), kNoDecoder);
    EXPECT_EQ(services.pictureDecoderLabel(kJpegDecoderId), "--JPG--");
    EXPECT_NE(services.pictureExtensions().find("*.webp"), std::string::npos);
    EXPECT_NE(services.archiveExtensions().find("*.zip"), std::string::npos);
    EXPECT_EQ(services.archiveDecoderNamed("ARCHIVE"), 0);
}

} // namespace
} // namespace vemra
