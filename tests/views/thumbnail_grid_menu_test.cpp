#include "views/thumbnail_grid.h"

#include "document/picture_loader.h"
#include "document/size_text.h"
#include "document/transfer_data.h"
#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/command_router.h"
#include "framework/progress_requests.h"
#include "framework/progress_window.h"
#include "imaging/picture_qimage.h"
#include "views/details_list.h"
#include "views/folder_tree.h"
#include "views/main_status_bar.h"
#include "views/main_window.h"

#include "../plugin/plugin_test_support.h"
#include "views_test_support.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Answers for every external-application command, and remembers those run.
class ApplicationTarget : public CommandTarget {
public:
    std::optional<CommandState> commandState(int id) const override {
        if (commandInRange(id, kCmdExternalAppFirst, kCmdExternalAppLast))
            return CommandState{};
        return std::nullopt;
    }
    bool onCommand(int id) override {
        ran.push_back(id);
        return true;
    }
    std::vector<int> ran;
};

// Keeps the position of every FirstVisible hint and hands on those of
// EntryAccepted.
class PositionRecorder : public DocumentView {
public:
    void onUpdate(DocumentView*, const UpdateHint& update) override {
        visitHint(
            update,
            [this](const hint::FirstVisible& first) { firstVisible.push_back(first.position); },
            [this](const hint::EntryAccepted& accepted) {
                if (onFound)
                    onFound(accepted.position);
            });
    }
    std::vector<int> firstVisible;
    std::function<void(int)> onFound;
};

// What the context menu showed: the item texts ("-" for a separator), the
// enabled flags, and where it opened.
struct ShownMenu {
    std::vector<QString> texts;
    std::vector<bool> enabled;
    std::vector<int> ids;
    QPoint at;
    QString name;
    QMenu* applications = nullptr;
    std::vector<QString> applicationTexts;
    std::vector<bool> applicationEnabled;
    std::vector<bool> applicationChecked;
};

class GridMenuTest : public ::testing::Test {
protected:
    GridMenuTest() : loader(*f.registry) {
        f.document->setPictureLoader(&loader);
        view = std::make_unique<ThumbnailGrid>(*f.document);
        view->setOpener([this](const std::string& path) {
            opened.push_back(path);
            openedBytes.push_back(test::readFile(path));
        });
        // The viewer and the full-screen window record what they would show.
        auto shown = [this](int position) {
            opened.push_back(f.document->entryAt(position)->fullPath());
            openedBytes.emplace_back();
        };
        view->setViewerOpener([shown](int position, bool) { shown(position); });
        view->setFullScreenRunner(shown);
        router.setTarget(CommandRouter::Level::ActiveView, view.get());
        router.setTarget(CommandRouter::Level::Document, f.document.get());
        router.setTarget(CommandRouter::Level::Application, &applications);
        actions = std::make_unique<CommandActions>(router, CommandScope::MainWindow, nullptr);
        view->setCommandActions(actions.get());
        view->setSettingsStore(&f.store);
        view->setMenuExec([this](QMenu& menu, QPoint at) { record(menu, at); });
    }
    ~GridMenuTest() override {
        view.reset();
        actions.reset();
    }

    void record(QMenu& menu, QPoint at) {
        ShownMenu shown;
        shown.at = at;
        shown.name = menu.objectName();
        for (QAction* a : menu.actions()) {
            shown.texts.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
            shown.enabled.push_back(a->isEnabled());
            shown.ids.push_back(a->isSeparator() ? 0 : CommandActions::commandOf(a));
            if (a->menu() != nullptr) {
                shown.applications = a->menu();
                for (QAction* item : a->menu()->actions()) {
                    shown.applicationTexts.push_back(item->text());
                    shown.applicationEnabled.push_back(item->isEnabled());
                    shown.applicationChecked.push_back(item->isChecked());
                }
                // The last application item, to be triggered by the test.
                lastApplication = a->menu()->actions().value(1);
                if (lastApplication)
                    lastApplication->trigger();
            }
        }
        menus.push_back(shown);
        if (!screenshot.empty()) {
            menu.adjustSize();
            test::saveScreenshot(menu.grab().toImage(), screenshot);
        }
    }

    void openPictures(int count, const std::string& name = "pics") {
        test::makePictures(f.dir.file(name), count);
        f.document->openFolder(f.dir.file(name), nullptr, false);
        view->resize(400, 300);
        view->show();
        QApplication::processEvents();
    }
    QPoint centreOf(int position) {
        return view->cellRectInView(position).topLeft() + QPoint(20, 20);
    }
    void rightClick(int position, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(view->viewport(), Qt::RightButton, modifiers, centreOf(position));
    }
    void click(int position, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, centreOf(position));
    }
    std::vector<int> selected() { return selectedPositions(*f.document); }
    std::string name(int position) { return f.document->entryAt(position)->fileName; }
    void registerApps() {
        f.store.putText("AppCall", "App0\\Title", "Gimp");
        f.store.putText("AppCall", "App0\\Cmd", "gimp");
        f.store.putText("AppCall", "App1\\Title", "Per file");
        f.store.putText("AppCall", "App1\\Cmd", "viewer");
        f.store.putInt("AppCall", "App1\\Dup", 1);
        // An empty title ends the list.
        f.store.putText("AppCall", "App3\\Title", "Unreachable");
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    ApplicationTarget applications;
    CommandRouter router;
    std::unique_ptr<CommandActions> actions;
    std::unique_ptr<ThumbnailGrid> view;
    std::vector<std::string> opened;
    std::vector<std::vector<std::byte>> openedBytes;
    std::vector<ShownMenu> menus;
    QAction* lastApplication = nullptr;
    std::string screenshot; // where record() saves the menu's picture
};

TEST_F(GridMenuTest, ARightClickMakesTheEntryTheOnlySelectionAndShowsItsNameFirst) {
    openPictures(5);
    click(0);
    rightClick(3);
    ASSERT_EQ(menus.size(), 1u);
    const ShownMenu& menu = menus[0];
    EXPECT_EQ(menu.name, QStringLiteral("gridEntryMenu"));
    EXPECT_EQ(selected(), std::vector<int>{3});
    EXPECT_EQ(f.document->focusedPosition(), 3);
    ASSERT_GE(menu.texts.size(), 4u);
    EXPECT_EQ(menu.texts[0], QString::fromStdString(name(3)));
    EXPECT_FALSE(menu.enabled[0]);
    EXPECT_EQ(menu.texts[1], QStringLiteral("-"));
    // The grid's own commands are there and usable; the title is no command.
    const std::set<int> ids(menu.ids.begin(), menu.ids.end());
    for (int id : {kCmdOpenViewer, kCmdFullScreen, kCmdRunAssociated, kCmdReload, kCmdEditCopy})
        EXPECT_TRUE(ids.count(id)) << id;
    for (std::size_t i = 0; i < menu.ids.size(); ++i) {
        if (menu.ids[i] == kCmdOpenViewer || menu.ids[i] == kCmdReload) {
            EXPECT_TRUE(menu.enabled[i]) << menu.ids[i];
        }
    }
    EXPECT_EQ(menu.at, view->viewport()->mapToGlobal(centreOf(3)));
    EXPECT_EQ(menu.applications, nullptr);
    EXPECT_EQ(view->progressWindow(), nullptr);
}

TEST_F(GridMenuTest, ASelectionOfSeveralKeepsItAndCountsItsSizeInTheFirstItem) {
    openPictures(5);
    click(1);
    click(2, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    rightClick(2);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(selected(), (std::vector<int>{1, 2, 4}));
    std::uint64_t bytes = 0;
    for (int i : {1, 2, 4})
        bytes += f.document->entryAt(i)->length;
    const ShownMenu& menu = menus[0];
    EXPECT_EQ(menu.name, QStringLiteral("gridSelectionMenu"));
    EXPECT_EQ(menu.texts[0], QString::fromStdString("選択 3ﾌｧｲﾙ(" + sizeText(bytes, 1, 4) + ")"));
    EXPECT_TRUE(menu.texts[0].contains(QLatin1Char('.')));
    EXPECT_FALSE(menu.enabled[0]);
    EXPECT_EQ(menu.texts[1], QStringLiteral("-"));
    // Commands for one picture only are not offered for several.
    const std::set<int> ids(menu.ids.begin(), menu.ids.end());
    EXPECT_TRUE(ids.count(kCmdOpenViewer));
    EXPECT_FALSE(ids.count(kCmdReload));
    EXPECT_FALSE(ids.count(kCmdRename));
}

TEST_F(GridMenuTest, TheKeyboardOpensTheMenuForTheCurrentEntryInsideTheTopLeftCorner) {
    openPictures(4);
    view->moveCurrent(2, Qt::ControlModifier);
    EXPECT_TRUE(selected().empty());
    QTest::keyClick(view.get(), Qt::Key_Menu);
    QTest::keyClick(view.get(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(menus.size(), 2u);
    for (const ShownMenu& menu : menus) {
        EXPECT_EQ(menu.at, view->mapToGlobal(QPoint(5, 5)));
        EXPECT_EQ(menu.texts[0], QString::fromStdString(name(2)));
    }
    EXPECT_EQ(selected(), std::vector<int>{2});
    // Plain F10 is no menu key.
    QTest::keyClick(view.get(), Qt::Key_F10);
    EXPECT_EQ(menus.size(), 2u);
}

TEST_F(GridMenuTest, RegisteredApplicationsComeThirdAndAreCheckedWhenEachPictureGetsAProcess) {
    registerApps();
    openPictures(4);
    screenshot = "grid_entry_menu.png";
    rightClick(1);
    ASSERT_EQ(menus.size(), 1u);
    {
        const ShownMenu& menu = menus[0];
        ASSERT_GE(menu.texts.size(), 5u);
        EXPECT_EQ(menu.texts[2], QStringLiteral("アプリケーションで開く(&G)"));
        EXPECT_EQ(menu.texts[3], QStringLiteral("-"));
        EXPECT_EQ(menu.applicationTexts, (std::vector<QString>{"Gimp", "Per file"}));
        EXPECT_EQ(menu.applicationEnabled, (std::vector<bool>{true, true}));
        EXPECT_EQ(menu.applicationChecked, (std::vector<bool>{false, false}));
        // Choosing an item sends its command.
        EXPECT_EQ(applications.ran, std::vector<int>{kCmdExternalAppFirst + 1});
    }
    click(2, Qt::ControlModifier);
    screenshot = "grid_selection_menu.png";
    rightClick(2);
    screenshot.clear();
    ASSERT_EQ(menus.size(), 2u);
    const ShownMenu& menu = menus[1];
    EXPECT_EQ(menu.texts[2], QStringLiteral("アプリケーションで開く(&G)"));
    // Every program runs on a selection: once with all pictures, or (checked)
    // once per picture.
    EXPECT_EQ(menu.applicationEnabled, (std::vector<bool>{true, true}));
    EXPECT_EQ(menu.applicationChecked, (std::vector<bool>{false, true}));

    // Without a launcher nobody answers, and the items stay disabled.
    router.setTarget(CommandRouter::Level::Application, nullptr);
    rightClick(2);
    ASSERT_EQ(menus.size(), 3u);
    EXPECT_EQ(menus[2].applicationEnabled, (std::vector<bool>{false, false}));

    f.store.putText("AppCall", "App0\\Title", "");
    rightClick(2);
    ASSERT_EQ(menus.size(), 4u);
    EXPECT_EQ(menus[3].applications, nullptr);
    EXPECT_NE(menus[3].texts[2], QStringLiteral("アプリケーションで開く(&G)"));
}

TEST_F(GridMenuTest, OpeningSendsTheCommandOfTheModifiersHeld) {
    openPictures(4);
    EXPECT_EQ(view->openingCommand(Qt::ShiftModifier), kCmdRunAssociated);
    EXPECT_EQ(view->openingCommand(Qt::ControlModifier), kCmdOpenViewer);
    EXPECT_EQ(view->openingCommand(Qt::NoModifier), 32782);
    f.document->options().idViewer = kCmdExternalAppFirst + 2;
    EXPECT_EQ(view->openingCommand(Qt::NoModifier), kCmdExternalAppFirst + 2);

    // Two selected: the viewer command opens both, running with the
    // associated application only the one opened.
    click(0);
    click(2, Qt::ControlModifier);
    const std::string first = f.document->entryAt(0)->fullPath();
    const std::string third = f.document->entryAt(2)->fullPath();
    view->openByKeys(2, Qt::ControlModifier);
    EXPECT_EQ(opened, (std::vector<std::string>{first, third}));
    opened.clear();
    view->openByKeys(2, Qt::ShiftModifier);
    EXPECT_EQ(opened, std::vector<std::string>{third});
    opened.clear();
    view->openByKeys(2, Qt::NoModifier);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(applications.ran, std::vector<int>{kCmdExternalAppFirst + 2});

    // A double-click goes the same way: Shift runs the clicked entry.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, centreOf(3));
    EXPECT_EQ(opened, std::vector<std::string>{f.document->entryAt(3)->fullPath()});
}

TEST_F(GridMenuTest, TheViewerCommandWithSeveralSelectedOpensEachAndFullScreenOnlyTheClicked) {
    openPictures(5);
    click(1);
    click(3, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    ASSERT_TRUE(router.route(kCmdOpenViewer));
    std::vector<std::string> expected;
    for (int i : {1, 3, 4})
        expected.push_back(f.document->entryAt(i)->fullPath());
    EXPECT_EQ(opened, expected);
    opened.clear();
    ASSERT_TRUE(router.route(kCmdFullScreen));
    EXPECT_EQ(opened, std::vector<std::string>{f.document->entryAt(4)->fullPath()});
}

TEST_F(GridMenuTest, RunningAnArchiveMemberOpensAnExtractedCopyWithItsBytes) {
    const std::string folder = f.dir.file("album");
    fs::create_directories(folder);
    test::makePictures(f.dir.file("source"), 1);
    const auto png = test::readFile(f.dir.file("source") + "/pic0000.png");
    ASSERT_TRUE(test::writeArchive(folder + "/album.zip", "zip", "",
                                   {{"inner/one.png", png}, {"two.png", png}}));
    f.registry->scan(fs::path(test::shippedPluginPath("archive")).parent_path().string(), "");
    f.document->options().archive = true;
    f.document->openFolder(folder, nullptr, false);
    int member = -1;
    for (int i = 0; i < f.document->displayedCount(); ++i) {
        if (f.document->entryAt(i)->fileName == "one.png")
            member = i;
    }
    ASSERT_GE(member, 0);
    ASSERT_TRUE(f.document->entryAt(member)->isArchiveMember());
    f.document->setFocus(member);
    ASSERT_TRUE(router.route(kCmdRunAssociated));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(fs::path(opened[0]).filename(), "one.png");
    EXPECT_NE(opened[0].find("vemra-"), std::string::npos);
    EXPECT_EQ(openedBytes[0], png);
    // The copies go with the grid.
    view.reset();
    EXPECT_FALSE(fs::exists(opened[0]));
}

TEST_F(GridMenuTest, ReloadRemakesTheThumbnailOfTheClickedEntryOnly) {
    openPictures(3);
    test::runGridIdle(*view, *f.document, 1000);
    std::vector<const std::byte*> before;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(f.document->entryAt(i)->thumbnail) << i;
        before.push_back(f.document->entryAt(i)->thumbnail.block().data());
    }
    // The picture changes on disk: white now.
    QImage white(64, 48, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(QString::fromStdString(f.document->entryAt(1)->fullPath())));
    test::HintRecorder hints;
    f.document->addView(&hints);
    click(1);
    hints.hints.clear();
    ASSERT_TRUE(router.route(kCmdReload));
    test::runGridIdle(*view, *f.document, 1000);
    EXPECT_EQ(f.document->entryAt(0)->thumbnail.block().data(), before[0]);
    EXPECT_EQ(f.document->entryAt(2)->thumbnail.block().data(), before[2]);
    const QImage remade = pictureToImage(f.document->entryAt(1)->thumbnail);
    ASSERT_FALSE(remade.isNull());
    EXPECT_EQ(remade.pixelColor(remade.width() / 2, remade.height() / 2), QColor(Qt::white));
    EXPECT_NE(std::find(hints.hints.begin(), hints.hints.end(), hint::kRedrawEntry),
              hints.hints.end());
    f.document->removeView(&hints);
}

TEST_F(GridMenuTest, TheProgressRequestsShowSetAdvanceAndClose) {
    ProgressRequests& progress = view->progress();
    // Before show() nothing opens and nothing is cancelled.
    EXPECT_FALSE(progress.setText("early"));
    EXPECT_FALSE(progress.advance(3));
    EXPECT_EQ(view->progressWindow(), nullptr);
    const std::string title = "書庫の展開";
    EXPECT_FALSE(progress.show(title));
    ProgressWindow* window = view->progressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QString::fromStdString(title));
    progress.setText("one.png");
    EXPECT_EQ(window->text(), QStringLiteral("one.png"));
    progress.advance(0);
    EXPECT_EQ(window->position(), 10);
    progress.advance(5);
    EXPECT_EQ(window->position(), 15);
    progress.setRange(30);
    progress.setPosition(15);
    EXPECT_EQ(window->percent(), 50);
    progress.setRange(-4);
    EXPECT_EQ(window->upper(), 0);
    // "中止" is answered once, by the next request.
    window->requestCancel();
    EXPECT_TRUE(progress.advance(1));
    EXPECT_FALSE(progress.advance(1));
    // Showing again starts over: range 0-100 at 0, nothing cancelled.
    window->requestCancel();
    EXPECT_FALSE(progress.show("again"));
    EXPECT_EQ(view->progressWindow(), window);
    EXPECT_EQ(window->upper(), 100);
    EXPECT_EQ(window->position(), 0);
    progress.close();
    EXPECT_EQ(view->progressWindow(), nullptr);
    EXPECT_FALSE(progress.setPosition(4));
}

TEST_F(GridMenuTest, SyncJumpTellsTheOtherViewsTheFirstVisibleEntryAfterEachPass) {
    PositionRecorder recorder;
    f.document->addView(&recorder);
    openPictures(30);
    const int columns = view->layout().columns;
    const int cellHeight = view->layout().cellHeight;
    view->scrollToTop(2 * cellHeight + cellHeight / 2);
    test::runGridIdle(*view, *f.document, 1000);
    EXPECT_TRUE(recorder.firstVisible.empty());

    f.document->options().syncJump = true;
    view->scrollToTop(3 * cellHeight + 1);
    test::runGridIdle(*view, *f.document, 1000);
    ASSERT_FALSE(recorder.firstVisible.empty());
    for (int first : recorder.firstVisible)
        EXPECT_EQ(first, 3 * columns);
    f.document->removeView(&recorder);
}

TEST_F(GridMenuTest, SyncFindDrawsEntriesDuringTheScanOnceMoreThanTheCountAreFound) {
    test::makePictures(f.dir.file("pics"), 8);
    // A long folder scrolled down first: the scan starts from the top.
    openPictures(30, "long");
    view->scrollToTop(400);
    ASSERT_EQ(view->top(), 400);
    f.document->options().scanSpi = true;
    f.document->options().syncFind = true;
    view->options().syncFileCount = 3;
    PositionRecorder recorder;
    std::vector<int> placedWhenFound;
    recorder.onFound = [&](int position) {
        // The grid heard of the entry before this view, which came later.
        const PictureSource* entry = f.document->entryAt(position);
        if (entry != nullptr && entry->cellX != PictureSource::kNotPlaced)
            placedWhenFound.push_back(position);
        EXPECT_EQ(view->top(), 0);
    };
    f.document->addView(&recorder);
    f.document->openFolder(f.dir.file("pics"), nullptr, false);
    ASSERT_FALSE(placedWhenFound.empty());
    // Three cells a row, two whole rows and part of the third visible.
    EXPECT_EQ(placedWhenFound, (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(view->layout().count, 8);

    // Fewer than SyncFileCount: nothing is drawn before the scan ends.
    placedWhenFound.clear();
    view->options().syncFileCount = 100;
    test::makePictures(f.dir.file("more"), 8);
    f.document->openFolder(f.dir.file("more"), nullptr, false);
    EXPECT_TRUE(placedWhenFound.empty());
    f.document->removeView(&recorder);
}

TEST_F(GridMenuTest, SynchronousFollowsAFocusSetElsewhereJustFarEnoughAndKeysByWholeCells) {
    openPictures(30);
    f.document->options().synchronous = true;
    const int columns = view->layout().columns;
    const int cell = view->layout().cellHeight;
    const int height = view->viewport()->height();
    ASSERT_GT(height % cell, 0); // a row is cut at the bottom
    // Another view makes an entry of row 4 current.
    f.document->setFocus(4 * columns + 1);
    EXPECT_EQ(view->top(), 5 * cell - height);
    f.document->setFocus(1 * columns);
    EXPECT_EQ(view->top(), cell);
    // The grid's own keys step by whole cells, Synchronous or not.
    view->scrollToTop(0);
    view->moveCurrent(0, Qt::NoModifier);
    const int rows = height / cell;
    for (int row = 1; row <= rows; ++row)
        QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->top(), cell);
}

// The frame shows the selection in its first status pane after every
// gesture of the grid.
TEST(GridStatusPanes, EverySelectionGestureReachesTheFirstStatusPane) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    auto frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    frame->resize(900, 700);
    frame->show();
    test::makePictures(f.dir.file("pics"), 10);
    f.document->openFolder(f.dir.file("pics"), nullptr, false);
    QApplication::processEvents();
    ThumbnailGrid* grid = frame->grid();
    grid->setMenuExec([](QMenu&, QPoint) {});
    auto pane = [&] { return frame->mainStatusBar()->paneText(0).toStdString(); };
    auto expected = [&](std::initializer_list<int> positions) {
        std::uint64_t bytes = 0;
        for (int i : positions)
            bytes += f.document->entryAt(i)->length;
        return "選択 " + std::to_string(positions.size()) + " ﾌｧｲﾙ(" + sizeText(bytes, 1, 2) + ")";
    };
    auto at = [&](int position) {
        return grid->cellRectInView(position).topLeft() + QPoint(20, 20);
    };

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(1));
    EXPECT_EQ(pane(), expected({1}));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(4));
    EXPECT_EQ(pane(), expected({1, 2, 3, 4}));
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(pane(), expected({1, 2, 3}));
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(pane(), expected({5, 6}));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, at(8));
    EXPECT_EQ(pane(), expected({5, 6, 8}));
    // A right click keeps a selection it falls on; elsewhere it selects
    // like a left click.
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, at(6));
    EXPECT_EQ(pane(), expected({5, 6, 8}));
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, at(9));
    EXPECT_EQ(pane(), expected({9}));
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(pane(), expected({0}));
    frame->runCommand(kCmdSelectAll);
    EXPECT_EQ(pane(), expected({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // Tab hands the focus to the document's next view, round to the first.
    QApplication::setActiveWindow(frame.get());
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(frame->folderTree()));
    // From the details list too, which would otherwise step through its cells.
    frame->detailsList()->table()->setFocus();
    QTest::keyClick(frame->detailsList()->table(), Qt::Key_Tab);
    QWidget* const after = QApplication::focusWidget();
    EXPECT_FALSE(after == frame->detailsList() || frame->detailsList()->isAncestorOf(after));
    frame.reset();
}

} // namespace
} // namespace vemra
