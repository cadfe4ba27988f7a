// A plug-in written for one thread (its work in global variables) gives the
// right pictures when thumbnails are made on several worker threads and when
// threads decode through the registry at once.

#include "../imaging/test_support.h"
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "imaging/picture_qimage.h"
#include "plugin_test_support.h"
#include "settings/settings_store.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

QColor colourOf(int i) {
    return QColor((i * 53) % 256, (i * 101) % 256, (i * 197) % 256);
}

void writeGlobal(const std::string& path, int width, int height, QColor colour) {
    std::ofstream out(path, std::ios::binary);
    const unsigned char head[] = {'G',
                                  'L',
                                  'O',
                                  'B',
                                  'P',
                                  'I',
                                  'C',
                                  '1',
                                  static_cast<unsigned char>(width),
                                  static_cast<unsigned char>(width >> 8),
                                  static_cast<unsigned char>(height),
                                  static_cast<unsigned char>(height >> 8),
                                  static_cast<unsigned char>(colour.red()),
                                  static_cast<unsigned char>(colour.green()),
                                  static_cast<unsigned char>(colour.blue())};
    out.write(reinterpret_cast<const char*>(head), sizeof head);
}

// Every pixel of the picture is `colour`.
bool allOf(const PictureBuffer& picture, QColor colour) {
    const QImage image = pictureToImage(picture);
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != colour)
                return false;
        }
    }
    return true;
}

class PooledPluginTest : public ::testing::Test {
protected:
    static constexpr int kCount = 24;

    PooledPluginTest() {
        test::ensureGuiApplication();
        fs::create_directories(dir.file("spi"));
        fs::create_directories(dir.file("pictures"));
        fs::copy_file(test::testPluginPath("global_state"), dir.file("spi/global_state.spi"));
        for (int i = 0; i < kCount; ++i)
            writeGlobal(picture(i), 200 + i, 150, colourOf(i));
        registry.setWriteBack(false);
        registry.scan(dir.file("spi"), "");
        registry.setInUse(0, DecoderKind::Picture, true);
    }
    std::string picture(int i) {
        return dir.file("pictures/g" + std::to_string(100 + i) + ".glob");
    }

    test::TempDir dir;
    SettingsStore store{dir.file("vemra.ini")};
    DecoderRegistry registry{store};
};

TEST_F(PooledPluginTest, ThumbnailsOnFourWorkersComeOutRight) {
    const RegistryScanServices services(registry);
    RegistryPictureLoader loader(registry);
    ThumbCache cache;
    DocumentOptions options;
    options.thumbWorkers = 4;
    options.unsharp = false;
    FolderDocument doc(services, cache, options);
    doc.setPictureLoader(&loader);
    doc.openFolder(dir.file("pictures"), nullptr, false);
    ASSERT_EQ(doc.displayedCount(), kCount);
    const CellGeometry cell{110, 110, 106, 80};
    for (int i = 0; i < kCount; ++i)
        EXPECT_TRUE(doc.requestThumbnail(i, cell, i < 6).pending);
    while (doc.thumbnailJobsOutstanding() > 0) {
        ASSERT_TRUE(doc.waitForThumbnailResults(std::chrono::seconds(20)));
        doc.applyThumbnailResults(cell, nullptr, nullptr);
    }
    for (int i = 0; i < kCount; ++i) {
        const PictureSource& entry = *doc.entryAt(i);
        SCOPED_TRACE(entry.fileName);
        EXPECT_EQ(entry.pictureWidth, 200 + i);
        EXPECT_TRUE(allOf(entry.thumbnail, colourOf(i)));
    }
    doc.setPictureLoader(nullptr);
}

TEST_F(PooledPluginTest, ThreadsDecodingThroughTheRegistryAtOnceGetTheirOwnPictures) {
    std::vector<std::jthread> threads;
    std::array<int, 4> wrong{};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const auto use = registry.sharedUse();
            for (int round = 0; round < 3; ++round) {
                for (int i = t; i < kCount; i += 4) {
                    EntryDecoding decoding;
                    decoding.path = picture(i);
                    decoding.name = decoding.path;
                    if (registry.identifyEntry(decoding) != 0) {
                        ++wrong[static_cast<std::size_t>(t)];
                        continue;
                    }
                    PictureBuffer out;
                    if (registry.loadEntryPicture(decoding, out) != 0 || !allOf(out, colourOf(i)))
                        ++wrong[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    threads.clear();
    EXPECT_EQ(wrong, (std::array<int, 4>{}));
}

} // namespace
} // namespace vemra
