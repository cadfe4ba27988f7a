#include "views/thumbnail_grid.h"

#include "document/picture_loader.h"
#include "document/transfer_data.h"
#include "framework/idle_driver.h"
#include "imaging/jpeg_encoder.h"
#include "views/main_status_bar.h"
#include "views/main_window.h"

#include "views_test_support.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

using test::makePictures;

class ThumbnailGridTest : public ::testing::Test {
protected:
    ThumbnailGridTest() : loader(*f.registry) {
        f.document->setPictureLoader(&loader);
        view = std::make_unique<ThumbnailGrid>(*f.document);
        QObject::connect(view.get(), &ThumbnailGrid::thumbnailProgress,
                         [this](int percent) { progress.percents.push_back(percent); });
        view->setOpener([this](const std::string& path) { opened.push_back(path); });
        // What the viewer would show stands beside what runs elsewhere.
        view->setViewerOpener([this](int position, bool) {
            opened.push_back(f.document->entryAt(position)->fullPath());
        });
    }
    ~ThumbnailGridTest() override {
        view.reset();
        f.document->setPictureLoader(nullptr);
    }

    void open(const std::string& folder) { f.document->openFolder(folder, nullptr, false); }
    // Runs idle steps until the grid wants no more (or a generous limit).
    int runIdle(int limit = 10000) { return test::runGridIdle(*view, *f.document, limit); }
    // Resizes the viewport itself (the scroll bar may take part of the area).
    void sizeViewport(int width, int height) {
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->resize(width + 40, height + 40);
        view->show();
        QApplication::processEvents();
        const QSize now = view->viewport()->size();
        view->resize(view->width() + width - now.width(), view->height() + height - now.height());
        QApplication::processEvents();
        ASSERT_EQ(view->viewport()->size(), QSize(width, height));
    }
    void click(int position, Qt::KeyboardModifiers modifiers = {}) {
        const QPoint centre = view->cellRectInView(position).topLeft() + QPoint(20, 20);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, centre);
    }
    std::vector<int> selected() { return selectedPositions(*f.document); }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    // Every progress report of the grid.
    struct {
        std::vector<int> percents;
    } progress;
    std::unique_ptr<ThumbnailGrid> view;
    std::vector<std::string> opened;
};

TEST_F(ThumbnailGridTest, AnEmptyFolderLaysOutOneCellAndFinishesItsIdleWorkWithoutProgress) {
    const std::string folder = f.dir.file("empty");
    fs::create_directories(folder);
    sizeViewport(400, 300);
    open(folder);
    EXPECT_EQ(view->layout().count, 0);
    EXPECT_EQ(view->layout().rows, 1);
    EXPECT_EQ(view->layout().columns, 3);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);
    EXPECT_LT(runIdle(), 10);
    EXPECT_EQ(view->stage(), ThumbnailGrid::Stage::Idle);
    EXPECT_TRUE(progress.percents.empty());
    EXPECT_EQ(view->hitTest({10, 10}), -1);
}

TEST_F(ThumbnailGridTest, ANarrowWindowShowsOneColumnAndTheNextSizeCommandFitsTheCellsToIt) {
    makePictures(f.dir.file("pics"), 4);
    sizeViewport(80, 300);
    open(f.dir.file("pics"));
    EXPECT_EQ(view->layout().columns, 1);
    EXPECT_EQ(view->layout().rows, 4);
    EXPECT_EQ(view->hitTest({10, 115}), 1);
    EXPECT_EQ(view->hitTest({100, 10}), 0); // the cell reaches past the window
    EXPECT_EQ(view->hitTest({115, 10}), -1);
    // Enlarging is clamped to the client width; shrinking stops at the limit.
    view->onCommand(32771);
    EXPECT_EQ(view->cellSize().width(), view->viewport()->width());
    for (int i = 0; i < 10; ++i)
        view->onCommand(32772);
    EXPECT_EQ(view->cellSize(), QSize(40, 40));
}

TEST_F(ThumbnailGridTest, ScrollingToTheEndOfTwoThousandTallCellsShowsTheLastRowExactly) {
    const std::string folder = f.dir.file("many");
    fs::create_directories(folder);
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::red);
    for (int i = 0; i < 2000; ++i)
        tiny.save(QString::fromStdString(folder) + QString::asprintf("/p%04d.bmp", i));
    sizeViewport(150, 400);
    open(folder);
    ASSERT_EQ(view->layout().count, 2000);
    EXPECT_EQ(view->layout().columns, 1);
    EXPECT_EQ(view->layout().totalHeight, 220000);
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_LE(bar->maximum(), 30000);
    bar->setValue(bar->maximum());
    EXPECT_EQ(view->top(), 220000 - view->viewport()->height());
    const QRect last = view->cellRectInView(1999);
    EXPECT_EQ(last.bottom() + 1, view->viewport()->height());
    EXPECT_EQ(view->hitTest({5, view->viewport()->height() - 1}), 1999);
    // Page keys move by the page and stop at both ends.
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_EQ(view->top(), 220000 - view->viewport()->height());
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(view->top(), 220000 - view->viewport()->height() - view->layout().page);
    bar->setValue(0);
    EXPECT_EQ(view->top(), 0);
}

TEST_F(ThumbnailGridTest, IdleWorkMakesTheVisibleThumbnailsFirstAndWithThumbsCreateAllOfThem) {
    const std::string folder = f.dir.file("pics");
    makePictures(folder, 30);
    f.document->options().thumbsCreate = false;
    sizeViewport(340, 220); // 3 columns, 2 rows visible
    test::HintRecorder hints;
    f.document->addView(&hints);
    open(folder);
    ASSERT_EQ(view->layout().count, 30);
    runIdle();
    const int visible = 6;
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(static_cast<bool>(f.document->entryAt(i)->thumbnail), i < visible) << i;
    EXPECT_EQ(std::count(hints.hints.begin(), hints.hints.end(), hint::kRedrawEntry), visible);
    EXPECT_TRUE(progress.percents.empty());

    // Scrolling makes the newly visible ones.
    view->scrollToTop(view->layout().cellHeight * 2);
    runIdle();
    EXPECT_TRUE(f.document->entryAt(visible + 5)->thumbnail);
    EXPECT_FALSE(f.document->entryAt(visible * 2)->thumbnail);

    // With ThumbsCreate every entry gets one, with progress up to 100.
    f.document->options().thumbsCreate = true;
    f.document->updateAllViews(nullptr, hint::RedrawAll{});
    runIdle();
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(f.document->entryAt(i)->thumbnail) << i;
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(view->stage(), ThumbnailGrid::Stage::Idle);
    EXPECT_FALSE(view->idleStep(0));
    f.document->removeView(&hints);
}

// With input waiting, each idle step hands out one visible cell's thumbnail
// to the workers and makes none itself; the results come in later steps.
TEST_F(ThumbnailGridTest, InputStopsTheHandingOutOfVisibleThumbnailsAfterTheCurrentCell) {
    makePictures(f.dir.file("pics"), 6);
    f.document->options().thumbsCreate = false;
    sizeViewport(340, 220);
    open(f.dir.file("pics"));
    IdleDriver driver;
    driver.noteInput(); // as a key press would
    auto made = [&] {
        int n = 0;
        for (int i = 0; i < 6; ++i)
            n += f.document->entryAt(i)->thumbnail ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(view->idleStep(0)); // the visible cells are drawn
    EXPECT_EQ(view->stage(), ThumbnailGrid::Stage::MakeVisible);
    for (int step = 1; step <= 5; ++step) {
        EXPECT_TRUE(view->idleStep(step));
        EXPECT_EQ(f.document->thumbnailJobsOutstanding() + made(), step);
    }
    runIdle();
    EXPECT_EQ(made(), 6);
}

// Large JPEGs go to the workers; a relayout half-way (ListEmptied) starts the
// handing out over at the visible cells, and still every thumbnail is made
// and told once, with the progress rising to 100.
TEST_F(ThumbnailGridTest, WorkerThumbnailsAreToldOnceAcrossARelayout) {
    const std::string folder = f.dir.file("photos");
    fs::create_directories(folder);
    constexpr int kCount = 9;
    for (int i = 0; i < kCount; ++i) {
        std::vector<std::byte> jpeg;
        JpegOptions options;
        options.progressive = i % 3 == 0;
        ASSERT_TRUE(encodeJpeg(test::patternPicture(1000 + i * 8, 760, 24), options, jpeg));
        test::writeFile(folder + "/photo" + std::to_string(i) + ".jpg", jpeg);
    }
    f.document->options().thumbsCreate = true;
    sizeViewport(340, 220); // 6 visible
    test::HintRecorder hints;
    f.document->addView(&hints);
    open(folder);
    IdleDriver driver;
    driver.noteInput();
    for (int step = 0; step < 4; ++step)
        view->idleStep(step);
    ASSERT_GT(f.document->thumbnailJobsOutstanding(), 0);
    f.document->updateAllViews(nullptr, hint::RedrawAll{});
    runIdle(100000);
    for (int i = 0; i < kCount; ++i)
        EXPECT_TRUE(f.document->entryAt(i)->thumbnail) << i;
    EXPECT_EQ(std::count(hints.hints.begin(), hints.hints.end(), hint::kRedrawEntry), kCount);
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(view->stage(), ThumbnailGrid::Stage::Idle);
    EXPECT_EQ(f.document->thumbnailJobsOutstanding(), 0);
    f.document->removeView(&hints);
}

// Scrolling while visible thumbnails are on their way: the newly visible
// cells are made, and nothing else but what was asked for.
TEST_F(ThumbnailGridTest, ScrollingMakesTheNewlyVisibleCells) {
    const std::string folder = f.dir.file("photos");
    fs::create_directories(folder);
    for (int i = 0; i < 18; ++i) {
        std::vector<std::byte> jpeg;
        ASSERT_TRUE(encodeJpeg(test::patternPicture(900, 700, 24), JpegOptions{}, jpeg));
        test::writeFile(folder + "/photo" + std::to_string(100 + i) + ".jpg", jpeg);
    }
    f.document->options().thumbsCreate = false;
    sizeViewport(340, 220); // 3 columns, 2 rows visible
    open(folder);
    IdleDriver driver;
    driver.noteInput();
    for (int step = 0; step < 3; ++step)
        view->idleStep(step); // draws, then hands out cells 0 and 1

    view->scrollToTop(view->layout().cellHeight * 4); // rows 4 and 5: 12 to 17
    runIdle(100000);
    for (int i = 12; i < 18; ++i)
        EXPECT_TRUE(f.document->entryAt(i)->thumbnail) << i;
    for (int i = 2; i < 12; ++i)
        EXPECT_FALSE(f.document->entryAt(i)->thumbnail) << i;

    view->scrollToTop(0);
    runIdle(100000);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(f.document->entryAt(i)->thumbnail) << i;
    EXPECT_FALSE(f.document->entryAt(6)->thumbnail);
}

TEST_F(ThumbnailGridTest, IdleWorkWaitsWhileTheDocumentScansAndRestartsOnANewFolder) {
    makePictures(f.dir.file("a"), 3);
    sizeViewport(340, 230);
    open(f.dir.file("a"));
    runIdle();
    EXPECT_FALSE(progress.percents.empty());
    progress.percents.clear();
    // A new folder sets the background stage back and clears the progress.
    makePictures(f.dir.file("b"), 2);
    open(f.dir.file("b"));
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_EQ(progress.percents.front(), 0);
    EXPECT_EQ(view->stage(), ThumbnailGrid::Stage::DrawVisible);
    runIdle();
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_TRUE(f.document->entryAt(1)->thumbnail);
}

TEST_F(ThumbnailGridTest, ClicksSelectWithCtrlTogglingAndShiftRanges) {
    makePictures(f.dir.file("pics"), 12);
    sizeViewport(340, 400);
    open(f.dir.file("pics"));
    click(1);
    EXPECT_EQ(selected(), std::vector<int>{1});
    EXPECT_EQ(f.document->focusedPosition(), 1);
    click(4, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<int>{1, 4}));
    EXPECT_EQ(f.document->focusedPosition(), 4);
    click(1, Qt::ControlModifier);
    EXPECT_EQ(selected(), std::vector<int>{4});
    // Shift ranges from the current entry; a nearer end drops the rest.
    click(8, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<int>{4, 5, 6, 7, 8}));
    click(6, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<int>{4, 5, 6}));
    click(2, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(f.document->focusedPosition(), 2);
    // A plain click on a selected entry narrows to it when released.
    click(3);
    EXPECT_EQ(selected(), std::vector<int>{3});
    // A click on no cell changes nothing.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(330, 10));
    EXPECT_EQ(selected(), std::vector<int>{3});
    EXPECT_EQ(f.document->selectedCount(true), 1);
    // Double-click opens the picture.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->cellRectInView(5).center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], f.document->entryAt(5)->fullPath());
}

TEST_F(ThumbnailGridTest, KeysMoveTheCurrentEntryAndScrollItIntoView) {
    makePictures(f.dir.file("pics"), 12);
    sizeViewport(340, 220); // 3 columns, 2 rows visible
    open(f.dir.file("pics"));
    QTest::keyClick(view.get(), Qt::Key_Right);
    EXPECT_EQ(f.document->focusedPosition(), 0);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(f.document->focusedPosition(), 4);
    EXPECT_EQ(selected(), std::vector<int>{4});
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.document->focusedPosition(), 7);
    EXPECT_EQ(selected(), (std::vector<int>{4, 5, 6, 7}));
    // Row 2 was below the window: one row's scroll brings it in.
    EXPECT_EQ(view->top(), view->layout().cellHeight);
    QTest::keyClick(view.get(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(f.document->focusedPosition(), 6);
    EXPECT_EQ(selected(), (std::vector<int>{4, 5, 6, 7}));
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(selected(), (std::vector<int>{4, 5, 7}));
    EXPECT_EQ(f.document->focusedPosition(), 7);
    // Space on the last entry toggles it and stays.
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(f.document->focusedPosition(), 11);
    EXPECT_TRUE(f.document->entryAt(11)->isSelected());
    EXPECT_EQ(view->cellRectInView(11).bottom() + 1, view->viewport()->height());
    // Enter opens as a double-click does: with several selected, each.
    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_EQ(opened.size(), 4u);
    // With Synchronous, a focus set elsewhere (the details list) is
    // scrolled into view; without it the grid stays where it is.
    f.document->setFocus(0);
    EXPECT_EQ(view->top(), view->layout().cellHeight * 2);
    f.document->options().synchronous = true;
    f.document->setFocus(1);
    EXPECT_EQ(view->top(), 0);
    EXPECT_EQ(opened[0], f.document->entryAt(4)->fullPath());
    EXPECT_EQ(opened[3], f.document->entryAt(11)->fullPath());
}

TEST_F(ThumbnailGridTest, SizeRequestsDivideTheWidthIntoColumnsAndSetRememberedSizes) {
    makePictures(f.dir.file("pics"), 10);
    sizeViewport(340, 220);
    open(f.dir.file("pics"));
    view->scrollToTop(100);
    // Two columns of 170; whole rows fill the height (one row of 220).
    view->divideColumns(2);
    EXPECT_EQ(view->cellSize(), QSize(170, 220));
    EXPECT_EQ(view->layout().columns, 2);
    EXPECT_EQ(view->top(), 0);
    // More columns than the grid has now are clamped to its column count.
    view->divideColumns(9);
    EXPECT_EQ(view->cellSize().width(), 170);
    // 0 goes back to the size the grid started with.
    view->divideColumns(0);
    EXPECT_EQ(view->cellSize(), QSize(110, 110));
    // An explicit size is kept in the document, clamped to the window.
    view->setCellSize(90, 500);
    EXPECT_EQ(view->cellSize(), QSize(90, 220));
    EXPECT_EQ(f.document->thumbnailSize(), (IntPair{90, 220}));
    // Shrinking by ScaleStep keeps the proportions of the cell.
    view->onCommand(32772);
    EXPECT_EQ(view->cellSize(), QSize(65, 158));
    // 0 now goes back to the explicit size; the step is not remembered.
    view->divideColumns(0);
    EXPECT_EQ(view->cellSize(), QSize(90, 220));
}

// The colours of a cell tell its state: selected or not, current or not, a
// picture drawn or only the file type's icon.
TEST_F(ThumbnailGridTest, CellsAreDrawnInTheColoursOfTheirState) {
    const std::string folder = f.dir.file("pics");
    makePictures(folder, 2);
    test::writeFile(folder + "/notes.txt", test::bytes({'h', 'i'}));
    sizeViewport(340, 220);
    open(folder);
    ASSERT_EQ(view->layout().count, 3);
    runIdle();
    int text = -1;
    int picture = -1;
    for (int i = 0; i < 3; ++i) {
        (f.document->entryAt(i)->fileName == "notes.txt" ? text : picture) = i;
    }
    ASSERT_GE(text, 0);
    click(picture);
    const QImage shot = view->viewport()->grab().toImage();
    auto at = [&](int position, int x, int y) {
        const QRect cell = view->cellRectInView(position);
        const int px = x < 0 ? cell.right() + 1 + x : cell.left() + x;
        const int py = y < 0 ? cell.bottom() + 1 + y : cell.top() + y;
        return QColor(shot.pixel(px, py)).rgb() & 0xFFFFFF;
    };
    // Selected: the selection background, the focus frame one pixel in, and
    // the caption in the focus colour.
    EXPECT_EQ(at(picture, 0, 0), 0x8C8CFFu);
    EXPECT_EQ(at(picture, 2, 40), 0x800000u);
    EXPECT_EQ(at(picture, 3, -3), 0x800000u);
    // Unselected: the cell background; the icon-only entry has the
    // cannot-draw caption; the caption bevel is dark left, light right.
    EXPECT_EQ(at(text, 0, 0), 0xC0C0C0u);
    EXPECT_EQ(at(text, 3, -3), 0xFFFFF0u);
    EXPECT_EQ(at(text, 0, -3), 0x808080u);
    EXPECT_EQ(at(text, -1, -3), 0xFFFFFFu);
    // The picture itself is centred in its area (the test pictures are 64
    // wide, their top-left pixel is the fill colour, never the background).
    EXPECT_NE(at(picture, 55, 30), 0x8C8CFFu);
    // Outside the cells: the window's button colour.
    const QColor outside = view->palette().color(QPalette::Button);
    EXPECT_EQ(QColor(shot.pixel(335, 5)).rgb(), outside.rgb());
    test::saveScreenshot(shot, "grid_cell_states.png");
}

// KPView colBackground, red in its low byte, replaces the theme's colour
// outside the cells.
TEST_F(ThumbnailGridTest, AStoredBackgroundColourFillsTheSpaceOutsideTheCells) {
    makePictures(f.dir.file("pics"), 2);
    f.store.putInt("KPView", "colBackground", 0x336699);
    view.reset();
    view = std::make_unique<ThumbnailGrid>(*f.document);
    view->setOptions(GridOptions::load(f.store));
    sizeViewport(340, 220);
    open(f.dir.file("pics"));
    ASSERT_EQ(view->layout().columns, 3);
    const QImage shot = view->viewport()->grab().toImage();
    test::saveScreenshot(shot, "grid_stored_background.png");
    const auto at = [&](int x, int y) { return QColor(shot.pixel(x, y)).rgb() & 0xFFFFFF; };
    EXPECT_EQ(at(335, 5), 0x996633u);  // right of the last column
    EXPECT_EQ(at(5, 215), 0x996633u);  // below the only row
    EXPECT_EQ(at(250, 50), 0x996633u); // where a third cell would be
    EXPECT_EQ(at(0, 0), 0xC0C0C0u);    // a cell keeps its own background
}

// The frame hands idle time to the grid and shows its progress.
TEST_F(ThumbnailGridTest, TheFrameDrivesTheGridAndShowsScreenshotsInTwoCellSizes) {
    view.reset();
    const std::string generated = f.dir.file("generated");
    makePictures(generated, 50, 120, 80);
    MainWindow frame(*f.document, f.registry.get(), f.store);
    frame.resize(960, 640);
    frame.show();
    auto settle = [&] {
        test::runIdleWithWorkers([&](int i) { return frame.idle(i); }, *f.document, 5000);
        QApplication::processEvents();
    };
    for (const std::string& folder : {test::samplesFolder(), generated}) {
        f.document->openFolder(folder, nullptr, false);
        settle();
        const std::string name = folder == generated ? "generated" : "samples";
        for (int i = 0; i < f.document->displayedCount(); ++i)
            EXPECT_TRUE(f.document->entryAt(i)->thumbnail || name == "samples") << i;
        EXPECT_EQ(frame.mainStatusBar()->progressPane()->text(), QStringLiteral("ｻﾑﾈｲﾙ作成 100%"));
        frame.grid()->moveCurrent(1, {});
        frame.grid()->moveCurrent(3, Qt::ShiftModifier);
        QApplication::processEvents();
        test::saveScreenshot(frame.grab().toImage(), "grid_" + name + "_110.png");
        emit frame.cellSizeRequested(160, 150);
        settle();
        EXPECT_EQ(frame.grid()->cellSize(), QSize(160, 150));
        test::saveScreenshot(frame.grab().toImage(), "grid_" + name + "_160.png");
        // The smallest cells leave little room under the caption; the largest
        // show fewer columns than the window's width would round to.
        for (const QSize size : {QSize(60, 60), QSize(250, 220)}) {
            emit frame.cellSizeRequested(size.width(), size.height());
            settle();
            EXPECT_EQ(frame.grid()->cellSize(), size);
            test::saveScreenshot(frame.grab().toImage(),
                                 "grid_" + name + "_" + std::to_string(size.width()) + ".png");
        }
        emit frame.cellSizeRequested(110, 110);
    }
}

} // namespace
} // namespace vemra
