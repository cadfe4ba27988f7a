#include "views/picture_view.h"
#include "views/slide_show_window.h"
#include "views/viewer_list.h"
#include "views/viewer_window.h"

#include "document/picture_loader.h"
#include "framework/command_id.h"
#include "framework/message_box.h"

#include "../imaging/gif_test_support.h"
#include "views_test_support.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::makePictures;

// A folder of five small pictures and an animated GIF at the end, opened
// in a document that decodes through the registry.
class ViewerTest : public ::testing::Test {
protected:
    ViewerTest() : loader(*f.registry), list(*f.document, nullptr) {
        f.document->setPictureLoader(&loader);
        list.setSettingsStore(&f.store);
        const std::string folder = f.dir.file("pics");
        makePictures(folder, 5, 64, 48);
        std::vector<test::GifFrameSpec> frames;
        for (int i = 0; i < 3; ++i)
            frames.push_back({0, 0, 8, 8, std::vector<std::uint8_t>(64, std::uint8_t(i + 1)), 10});
        test::writeFile(folder + "/zz-anim.gif", test::writeGif(8, 8, 2, frames));
        f.document->openFolder(folder, nullptr, false);
    }

    ViewerWindow* openViewer(int position) {
        ViewerWindow* window = list.open(position, false);
        window->view()->setClock([this] { return clock; });
        QApplication::setActiveWindow(window);
        return window;
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    ViewerList list;
    std::int64_t clock = 1000;
};

// Deleting the shown file from the viewer removes that file and shows the
// entry that took its place; the last file leaves the viewer on the new
// last one.
TEST_F(ViewerTest, DeleteInTheViewerRemovesTheShownFileAndShowsTheNext) {
    ViewerWindow* window = openViewer(1);
    PictureView* view = window->view();
    ASSERT_EQ(view->entry()->fileName, "pic0001.png");
    f.document->options().trashCan = false;
    std::vector<std::string> asked;
    ScopedMessageBoxResponder yes([&](MessageKind, MessageButtons, std::string_view text) {
        asked.emplace_back(text);
        return MessageAnswer::Yes;
    });
    ASSERT_TRUE(window->runCommand(kCmdViewerDelete));
    EXPECT_EQ(asked.size(), 1u);
    const std::string folder = f.dir.file("pics");
    EXPECT_FALSE(fs::exists(folder + "/pic0001.png"));
    EXPECT_TRUE(fs::exists(folder + "/pic0000.png"));
    EXPECT_EQ(f.document->displayedCount(), 5);
    EXPECT_EQ(view->entry()->fileName, "pic0002.png");

    window->runCommand(kCmdLastPicture);
    ASSERT_EQ(view->entry()->fileName, "zz-anim.gif");
    ASSERT_TRUE(window->runCommand(kCmdViewerDelete));
    EXPECT_FALSE(fs::exists(folder + "/zz-anim.gif"));
    EXPECT_EQ(f.document->displayedCount(), 4);
    EXPECT_EQ(view->entry()->fileName, "pic0004.png");
}

TEST_F(ViewerTest, TheViewerShowsStepsZoomsTurnsAndAnimates) {
    ASSERT_EQ(f.document->displayedCount(), 6);
    ViewerWindow* window = openViewer(0);
    PictureView* view = window->view();
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(view->position(), 0);
    EXPECT_TRUE(window->statusTexts()[0].startsWith(QStringLiteral("64x48 ")));
    EXPECT_EQ(window->statusTexts()[1], QStringLiteral("x1"));
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("pic0000.png 64x48 ")));
    // Mode 1: the client area follows the picture (not below its smallest).
    EXPECT_EQ(view->stage().displaySize(), QSize(64, 48));

    // Arrows step, Home and End jump; without Repeat the ends stay put.
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->position(), 1);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->position(), 5);
    window->runCommand(kCmdNextPicture);
    EXPECT_EQ(view->position(), 5);
    window->runCommand(kCmdFirstPicture);
    window->runCommand(kCmdPreviousPicture);
    EXPECT_EQ(view->position(), 0);
    window->runCommand(kCmdRepeat);
    window->runCommand(kCmdPreviousPicture);
    EXPECT_EQ(view->position(), 5);
    window->runCommand(kCmdNextPicture);
    EXPECT_EQ(view->position(), 0);

    // Zoom: + and - by ZoomStep, keypad 0 back; the pane reads the scale.
    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_EQ(view->stage().displaySize(), QSize(96, 72));
    EXPECT_EQ(window->statusTexts()[1], QStringLiteral("x1.5"));
    for (int i = 0; i < 20; ++i)
        window->runCommand(kCmdZoomIn);
    EXPECT_EQ(view->stage().zoomLevel(), 16);
    EXPECT_EQ(window->statusTexts()[1], QStringLiteral("x9"));
    window->runCommand(kCmdResetZoom);
    window->runCommand(kCmdZoomOut);
    window->runCommand(kCmdZoomOut);
    EXPECT_EQ(window->statusTexts()[1], QStringLiteral("x1/2"));
    EXPECT_EQ(view->stage().displaySize(), QSize(32, 24));
    window->runCommand(kCmdResetZoom);
    // R turns by AngleUnit; the zoom and the turn survive a step.
    QTest::keyClick(view, Qt::Key_R);
    EXPECT_EQ(view->stage().displaySize(), QSize(48, 64));
    window->runCommand(kCmdNextPicture);
    EXPECT_EQ(view->stage().angle(), 90);
    window->runCommand(kCmdRotateLeft);
    EXPECT_EQ(view->stage().angle(), 0);
    // Mode 2 without ZoomUp keeps a small picture small and centred.
    view->options().fit.zoomUp = false;
    window->runCommand(kCmdFitStretch);
    EXPECT_EQ(view->stage().displaySize(), QSize(64, 48));
    EXPECT_EQ(view->stage().offset(), QPoint((view->width() - 64) / 2, (view->height() - 48) / 2));
    window->runCommand(kCmdFitPicture);

    // Space toggles the shown entry's selection in the document.
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_TRUE(f.document->entryAt(view->position())->isSelected());
    // The file commands, printing and the wallpaper act on the shown
    // picture.
    for (int id : {kCmdViewerCopy, kCmdViewerMove, kCmdViewerDelete, kCmdNote, kCmdPrint,
                   kCmdViewerWallpaper})
        EXPECT_TRUE(window->router().state(id).enabled) << id;

    // The GIF plays: a frame per 55-ms tick, each shown for its 100 ms.
    window->runCommand(kCmdLastPicture);
    ASSERT_NE(view->stage().animation(), nullptr);
    EXPECT_EQ(view->stage().animation()->frameCount(), 3);
    clock += 55;
    view->animationTick();
    EXPECT_EQ(view->stage().animation()->current(), 0);
    clock += 50;
    view->animationTick();
    EXPECT_EQ(view->stage().animation()->current(), 1);
    // Unsharp and 256 colours replace the still picture.
    window->runCommand(kCmdReduceColours);
    EXPECT_EQ(view->stage().animation(), nullptr);
    EXPECT_LE(view->stage().frame().bitCount(), 8);

    window->runCommand(kCmdFirstPicture);
    window->runCommand(kCmdZoomIn);
    window->resize(360, 300);
    QApplication::processEvents();
    test::saveScreenshot(window->grab().toImage(), "viewer-window.png");
    // Esc closes; the list forgets the window.
    QTest::keyClick(view, Qt::Key_Escape);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(f.store.getInt("COneView", "Repeat", 0), 1);
    EXPECT_FALSE(f.store.getText("OnePic", "rcNormalPosition").empty());
}

TEST_F(ViewerTest, LookAheadDecodesTheNextPictureAndSaveWritesTheShownOne) {
    ViewerWindow* window = openViewer(1);
    PictureView* view = window->view();
    int steps = 0;
    while (view->idleStep([] { return false; }) && steps < 100)
        ++steps;
    EXPECT_TRUE(view->lookAhead().waitReady(std::chrono::seconds(20)));
    EXPECT_TRUE(view->lookAhead().take(2).has_value());
    view->lookAhead().want(2);
    while (view->idleStep([] { return false; }) && steps < 200)
        ++steps;
    view->lookAhead().waitReady(std::chrono::seconds(20));
    window->runCommand(kCmdNextPicture);
    EXPECT_EQ(view->position(), 2);
    EXPECT_TRUE(view->stage().hasPicture());

    const std::string saved = f.dir.file("saved.png");
    view->setSaveDialog([&](QWidget*) { return std::optional<std::string>(saved); });
    ASSERT_TRUE(window->runCommand(kCmdViewerSave));
    EXPECT_TRUE(fs::exists(saved));
    std::string message;
    ScopedMessageBoxResponder answer([&](MessageKind, MessageButtons, std::string_view text) {
        message = text;
        return MessageAnswer::Ok;
    });
    view->setSaveDialog(
        [&](QWidget*) { return std::optional<std::string>(f.dir.file("no-such-folder/x.bmp")); });
    window->runCommand(kCmdViewerSave);
    EXPECT_EQ(message, "ファイルの保存に失敗しました");
    // A picture that cannot be decoded leaves the viewer black with a note.
    test::writeFile(f.dir.file("pics") + "/pic0003.png", test::bytes({1, 2, 3}));
    window->runCommand(kCmdNextPicture);
    EXPECT_FALSE(view->stage().hasPicture());
    EXPECT_TRUE(window->statusTexts()[0].isEmpty());
    list.closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ViewerTest, TheSlideShowStepsDrawsItsBarAndStaysOnTheLastPicture) {
    SlideShowWindow show(*f.document, &f.store);
    std::int64_t now = 0;
    show.setClock([&] { return now; });
    show.resize(1024, 768);
    show.start(0, true);
    EXPECT_EQ(show.bar().cells(), 6);
    EXPECT_EQ(show.position(), 0);
    EXPECT_EQ(show.informationText(), QStringLiteral("pic0000.png"));
    for (int i = 0; i < 20; ++i) {
        now += 101;
        show.slideTick();
    }
    // Without Repeat the last picture stays while the show keeps running.
    EXPECT_EQ(show.position(), 5);
    EXPECT_TRUE(show.playing());
    show.runCommand(kCmdSequentialDrawing);
    EXPECT_FALSE(show.playing());
    show.runCommand(kCmdFirstPicture);
    show.runCommand(kCmdNextPicture);
    EXPECT_EQ(show.position(), 1);
    // A click on the bar jumps to the entry under it.
    QTest::mouseClick(&show, Qt::LeftButton, {}, QPoint(35, 1));
    EXPECT_EQ(show.position(), 3);
    // The wheel towards the user goes on when the picture fits.
    show.options().fit.fitSize = 0;
    show.showEntry(3);
    QTest::mouseClick(&show, Qt::LeftButton, {}, QPoint(500, 400));
    EXPECT_EQ(show.position(), 2);
    // The menu of the corner offers the commands.
    QStringList items;
    show.setMenuExec([&](QMenu& menu, QPoint) {
        for (QAction* a : menu.actions())
            if (!a->isSeparator())
                items << a->text();
    });
    show.showMenu({1023, 0});
    EXPECT_EQ(items.size(), 7);
    EXPECT_EQ(items.first(), QStringLiteral("閉じる(&C)"));
    show.options().fit.fitSize = 3;
    show.options().infomationTextX = -10;
    show.showEntry(1);
    test::saveScreenshot(show.grab().toImage(), "slide-show.png");
    show.close();
    EXPECT_EQ(f.store.getInt("SlideShow", "InfomationTextX", 0), -10);
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// The project's samples as a user meets them: a photo fitted in mode 1 and
// the full-screen window on the same folder.
TEST(ViewerSamples, APhotoInTheViewerAndTheFullScreenWindow) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    ViewerList list(*f.document, nullptr);
    list.setSettingsStore(&f.store);
    f.document->openFolder(test::samplesFolder(), nullptr, false);
    int sunset = -1;
    for (int i = 0; i < f.document->displayedCount(); ++i) {
        if (f.document->entryAt(i)->fileName == "sunset.jpg")
            sunset = i;
    }
    ASSERT_GE(sunset, 0);
    ViewerWindow* window = list.open(sunset, false);
    QApplication::processEvents();
    EXPECT_TRUE(window->view()->stage().hasPicture());
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("sunset.jpg ")));
    test::saveScreenshot(window->grab().toImage(), "viewer-sunset.png");
    list.closeAll();

    SlideShowWindow show(*f.document, &f.store);
    show.resize(800, 600);
    show.options().fit.fitSize = 3;
    show.start(sunset, false);
    test::saveScreenshot(show.grab().toImage(), "slide-show-sunset.png");
    show.close();
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

TEST(ViewerOptions, StoredValuesAreCheckedAndWrittenBackInTheirForms) {
    test::DocumentFixture f;
    f.store.putText("COneView", "ZoomStep", "0");
    f.store.putInt("COneView", "FitSize", 7);
    f.store.putInt("COneView", "ScaleMode", 5);
    f.store.putInt("SlideShow", "FitSize", 4);
    f.store.putInt("SlideShow", "SleepTime", 2500);
    ViewerOptions viewer = ViewerOptions::load(f.store);
    EXPECT_DOUBLE_EQ(viewer.fit.zoomStep, 0.5); // a step that could never zoom
    EXPECT_EQ(viewer.fit.fitSize, 3);
    EXPECT_EQ(viewer.fit.scaleMode, 0);
    EXPECT_EQ(viewer.sleepTime, 2500);
    EXPECT_EQ(viewer.spaceCommandId, kCmdToggleSelected);
    viewer.fit.zoomStep = 1.25;
    viewer.save(f.store);
    EXPECT_EQ(f.store.getText("COneView", "ZoomStep"), "1.250000");
    EXPECT_EQ(f.store.getText("COneView", "InfomationMacro"), "$(PN)");
    EXPECT_FALSE(f.store.contains("COneView", "SleepTime"));
    const SlideShowOptions slide = SlideShowOptions::load(f.store);
    EXPECT_EQ(slide.fit.fitSize, 4);
    EXPECT_EQ(slide.colBarPlay, 25820u);
    EXPECT_EQ(slide.spaceCommandId, kCmdSequentialDrawing);
    const ViewerFrameOptions frame = ViewerFrameOptions::load(f.store);
    EXPECT_TRUE(frame.topMost);
    EXPECT_EQ(frame.titleFormat, "$(PN) $(W)x$(H) $(C)b $(L)");
    EXPECT_FALSE(frame.placement.has_value());
}

TEST_F(ViewerTest, TheListReusesOrAddsWindowsFollowsTheGridAndEmptiesThemByStay) {
    ViewerWindow* first = list.open(0, false);
    EXPECT_EQ(list.open(1, false), first);
    EXPECT_EQ(first->view()->position(), 1);
    ViewerWindow* second = list.open(2, true);
    EXPECT_NE(second, first);
    f.store.putInt("OnePic", "MultiPicView", 1);
    ViewerWindow* third = list.open(3, false);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2), third);
    // Synchronous: the first viewer follows the grid's current entry.
    list.follow(4);
    EXPECT_EQ(first->view()->position(), 4);
    // Three windows tile in one row of three.
    list.tile();
    EXPECT_LT(first->x(), second->x());
    EXPECT_LT(second->x(), third->x());
    EXPECT_EQ(first->y(), third->y());
    // With Stay a change of folder empties them, without it closes them.
    f.store.putInt("OnePic", "Stay", 1);
    list.folderChanging();
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(first->view()->position(), -1);
    EXPECT_FALSE(first->view()->stage().hasPicture());
    f.store.putInt("OnePic", "Stay", 0);
    list.folderChanging();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(list.count(), 0);
}

} // namespace
} // namespace vemra
