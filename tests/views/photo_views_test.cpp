// Photographs in the windows: the eight EXIF orientations upright in the
// grid, the viewer (and its look-ahead, which the slide show shares), the
// information pane (I) of the viewer and of the full-screen window, and
// screenshots of them.
#include "views/photo_info_pane.h"
#include "views/picture_view.h"
#include "views/slide_show_window.h"
#include "views/thumbnail_grid.h"
#include "views/viewer_list.h"
#include "views/viewer_loading.h"
#include "views/viewer_window.h"

#include "document/picture_loader.h"
#include "framework/command_id.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_qimage.h"

#include "../imaging/orientation_pictures.h"
#include "views_test_support.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

class PhotoViewsTest : public ::testing::Test {
protected:
    PhotoViewsTest() : loader(*f.registry) {
        f.document->setPictureLoader(&loader);
        folder = f.dir.file("photos");
        std::filesystem::create_directories(folder);
        for (int orientation = 1; orientation <= 8; ++orientation)
            test::writeOrientedJpeg(folder + "/f" + std::to_string(orientation) + ".jpg",
                                    orientation, true, true);
        f.document->openFolder(folder, nullptr, false);
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    std::string folder;
};

TEST_F(PhotoViewsTest, GridShowsEveryOrientationUpright) {
    ThumbnailGrid grid(*f.document);
    grid.resize(4 * 112 + 20, 2 * 130 + 10);
    grid.show();
    test::runGridIdle(grid, *f.document);
    ASSERT_EQ(f.document->displayedCount(), 8);
    for (int position = 0; position < 8; ++position) {
        const PictureSource* entry = f.document->entryAt(position);
        ASSERT_NE(entry, nullptr);
        SCOPED_TRACE(entry->fileName);
        EXPECT_EQ(test::uprightFMismatch(entry->thumbnail), "");
        EXPECT_FALSE(entry->preview); // the real thumbnail took its place
    }
    test::saveScreenshot(grid.grab().toImage(), "photo-orientations-grid.png");
}

TEST_F(PhotoViewsTest, ViewerAndLookAheadShowEveryOrientationUpright) {
    for (int position = 0; position < 8; ++position) {
        SCOPED_TRACE(position);
        LoadedPicture direct = loadViewerPicture(*f.document, position, false);
        ASSERT_EQ(direct.code, 0);
        EXPECT_EQ(test::uprightFMismatch(direct.picture), "");
        EXPECT_EQ(direct.metadata.orientation, position + 1);

        PictureLookAhead ahead(*f.document);
        ahead.want(position);
        ahead.idleStep([] { return false; });
        ASSERT_TRUE(ahead.waitReady(std::chrono::seconds(30)));
        std::optional<LoadedPicture> early = ahead.take(position);
        ASSERT_TRUE(early.has_value());
        EXPECT_EQ(test::uprightFMismatch(early->picture), "");
        EXPECT_EQ(early->metadata.camera(), "Canon EOS 5D Mark IV");
    }
}

TEST_F(PhotoViewsTest, InformationPaneTellsHowThePhotoWasTaken) {
    ViewerList list(*f.document, nullptr);
    ViewerWindow* window = list.open(5, false); // f6.jpg, stored sideways
    ASSERT_NE(window, nullptr);
    window->resize(520, 420);
    window->show();
    PictureView* view = window->view();
    ASSERT_EQ(view->entry()->fileName, "f6.jpg");
    EXPECT_EQ(view->statusTexts()[0], QStringLiteral("48x64 24 bit"));
    PhotoInfoPane* pane = view->infoPane();
    EXPECT_FALSE(pane->isVisible());
    QTest::keyClick(view, Qt::Key_I);
    EXPECT_TRUE(pane->isVisible());
    const QString text = pane->text();
    for (const char* expected :
         {"カメラ：Canon EOS 5D Mark IV", "レンズ：EF24-70mm f/2.8L II USM", "露出時間：1/250秒",
          "絞り値：F2.8", "ISO感度：ISO400", "焦点距離：50mm", "撮影日時：2024/05/03 14:25:36",
          "撮影位置：北緯35.658142° 東経139.741233° 標高40m"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    test::saveScreenshot(window->grab().toImage(), "photo-information-pane.png");
    QTest::keyClick(view, Qt::Key_I);
    EXPECT_FALSE(pane->isVisible());
    window->close();
    // A closed window goes at the next turn of the event loop; its picture
    // look-ahead must not outlive the document into whatever runs next.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The full-screen window has the same pane: I shows it below the position
// bar, it follows the pictures stepped to (the look-ahead's too), and I
// hides it again.
TEST_F(PhotoViewsTest, SlideShowInformationPaneFollowsThePictures) {
    SlideShowWindow show(*f.document, nullptr);
    show.resize(640, 480);
    show.options().positionBar = true;
    show.show();
    show.start(5, false);
    PhotoInfoPane* pane = show.infoPane();
    ASSERT_NE(pane, nullptr);
    EXPECT_FALSE(pane->isVisible());
    QTest::keyClick(&show, Qt::Key_I);
    ASSERT_TRUE(pane->isVisible());
    EXPECT_GE(pane->y(), viewer::PositionBar::kCellHeight);
    // The information line (the name, top left) stays readable above it.
    EXPECT_FALSE(show.informationText().isEmpty());
    EXPECT_GE(pane->y(), viewer::PositionBar::kCellHeight + show.fontMetrics().height());
    EXPECT_TRUE(pane->text().contains(QString::fromUtf8("カメラ：Canon EOS 5D Mark IV")))
        << pane->text().toStdString();
    EXPECT_TRUE(show.rect().contains(pane->geometry()));
    test::saveScreenshot(show.grab().toImage(), "slide-show-information-pane.png");

    // A picture without shooting information says so; the next photo,
    // decoded ahead meanwhile, brings its own again.
    const std::string plain = folder + "/zz-plain.bmp";
    ASSERT_TRUE(writeBmpFile(plain, test::patternPicture(40, 30, 24)));
    f.document->openFolder(folder, nullptr, false);
    ASSERT_EQ(f.document->displayedCount(), 9);
    show.start(8, false);
    ASSERT_EQ(show.position(), 8);
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(pane->text(), QString::fromUtf8("撮影情報がありません"));
    show.runCommand(kCmdFirstPicture);
    EXPECT_TRUE(pane->text().contains(QString::fromUtf8("焦点距離：50mm")))
        << pane->text().toStdString();
    QTest::keyClick(&show, Qt::Key_I);
    EXPECT_FALSE(pane->isVisible());
    show.close();
}

} // namespace
} // namespace vemra
