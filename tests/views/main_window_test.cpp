#include "views/main_window.h"

#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/progress_window.h"
#include "views/details_list.h"
#include "views/details_list_model.h"
#include "views/folder_tree.h"
#include "views/main_status_bar.h"
#include "views/progress_window_sink.h"
#include "views/thumbnail_grid.h"
#include "views/window_placement.h"

#include "views_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        m_frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    }
    ~MainWindowTest() override { m_frame.reset(); }
    // Every action of the menu bar, nested menus included, by id.
    std::map<int, QAction*> menuActions(QMenu* menu) {
        std::map<int, QAction*> found;
        for (QAction* a : menu->actions()) {
            if (a->menu() != nullptr) {
                found.merge(menuActions(a->menu()));
            } else if (!a->isSeparator()) {
                found.emplace(CommandActions::commandOf(a), a);
            }
        }
        return found;
    }
    std::string makeFolder(const std::string& name) {
        const std::string path = f.dir.file(name);
        fs::create_directories(path);
        return path;
    }

    test::DocumentFixture f;
    std::unique_ptr<MainWindow> m_frame;
};

// The main menu as users know it: menu, id, text and keys.
struct DesignItem {
    const char* menu;
    int id;
    const char* text; // nullptr: the text is not checked here
    std::vector<QKeySequence> keys;
};

const std::vector<DesignItem>& designMenu() {
    using K = QKeySequence;
    static const std::vector<DesignItem> items = {
        {"ファイル(&F)", 10005, "複写(&C)...", {K(Qt::Key_C)}},
        {"ファイル(&F)", 10006, "移動(&M)...", {K(Qt::Key_M)}},
        {"ファイル(&F)", 10009, "名前の変更(&R)...", {K(Qt::Key_R), K(Qt::Key_F2)}},
        {"ファイル(&F)", 10126, "連番で名前変更(&T)...", {K(Qt::Key_N)}},
        {"ファイル(&F)", 10007, "削除(&D)...", {K(Qt::Key_D), K(Qt::Key_Delete)}},
        {"ファイル(&F)", 10112, "画像形式を指定して保存(&S)...", {K(Qt::CTRL | Qt::Key_S)}},
        {"ファイル(&F)", 10085, "解凍(&E)", {K(Qt::Key_U)}},
        {"ファイル(&F)", 57607, "印刷(&P)...", {K(Qt::CTRL | Qt::Key_P)}},
        {"ファイル(&F)", 57665, "アプリケーションの終了(&X)", {K(Qt::CTRL | Qt::Key_Q)}},
        {"編集(&E)", 57634, "コピー(&C)", {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}},
        {"編集(&E)",
         57637,
         "貼り付け(&P)",
         {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}},
        {"編集(&E)", 10007, "削除(&D)...", {K(Qt::Key_Delete)}},
        {"編集(&E)", 10168, "コメント入力(&N)", {K(Qt::CTRL | Qt::Key_N)}},
        {"編集(&E)", 10074, "サムネイル情報を保存(&W)...", {K(Qt::CTRL | Qt::Key_W)}},
        {"編集(&E)", 32793, "全選択(&A)", {K(Qt::CTRL | Qt::Key_A)}},
        {"表示(&V)", 32774, "前頁を表示(&P)", {K(Qt::Key_PageUp)}},
        {"表示(&V)", 32773, "次頁を表示(&N)", {K(Qt::Key_PageDown)}},
        {"表示(&V)",
         32771,
         "サムネイル拡大(&B)",
         {K(Qt::Key_Plus), K(Qt::KeypadModifier | Qt::Key_Plus)}},
        {"表示(&V)",
         32772,
         "サムネイル縮小(&S)",
         {K(Qt::Key_Minus), K(Qt::KeypadModifier | Qt::Key_Minus)}},
        {"表示(&V)", 10071, "サムネイル再作成(&U)", {K(Qt::CTRL | Qt::Key_T), K(Qt::Key_F8)}},
        {"表示(&V)", 10130, nullptr, {}},
        {"表示(&V)", 10131, nullptr, {}},
        {"表示(&V)", 10132, nullptr, {}},
        {"表示(&V)", 10133, nullptr, {}},
        {"表示(&V)", 10134, nullptr, {}},
        {"表示(&V)", 10135, nullptr, {}},
        {"表示(&V)", 10136, nullptr, {}},
        {"表示(&V)", 10137, nullptr, {}},
        {"表示(&V)", 10164, nullptr, {}},
        {"表示(&V)", 10138, nullptr, {}},
        {"表示(&V)", 10139, nullptr, {}},
        {"表示(&V)", 10140, nullptr, {}},
        {"表示(&V)", 10165, "再ソート(&R)", {K(Qt::CTRL | Qt::Key_R)}},
        {"表示(&V)", 10113, "表示フィルタ(&W)...", {K(Qt::Key_W), K(Qt::Key_F3)}},
        {"表示(&V)", 10072, "最新の情報に更新(&R)...", {K(Qt::Key_F5)}},
        {"表示(&V)", 59392, "ツール バー(&T)", {}},
        {"表示(&V)", 10162, "プラグインセット バー(&P)", {}},
        {"表示(&V)", 59393, "ステータス ﾊﾞｰ(&S)", {}},
        {"表示(&V)", 110, "大きいアイコン表示", {}},
        {"表示(&V)", 111, nullptr, {}},
        {"表示(&V)", 112, nullptr, {}},
        {"表示(&V)", 113, "詳細表示", {}},
        {"フォルダ(&D)", 10188, "フォルダの新規作成(&K)", {K(Qt::Key_K)}},
        {"フォルダ(&D)", 10187, "フォルダの名前変更(&R)", {}},
        {"フォルダ(&D)", 10189, "フォルダの削除(&D)", {}},
        {"ツール(&T)", 10156, "リスト編集(&L)...", {}},
        {"ツール(&T)", 10053, "外部アプリケーション登録(&A)...", {}},
        {"ツール(&T)", 10217, "サムネイル情報メンテナンス(&M)...", {}},
        {"ツール(&T)", 10010, "HTMLの作成(&H)...", {}},
        {"ツール(&T)", 10195, "コンタクトシートの作成(&G)...", {}},
        {"ツール(&T)", 10170, "レポートファイルの作成(&R)...", {}},
        {"オプション(&O)", 10159, "動作設定(V)...", {}},
        {"オプション(&O)", 10160, "プラグイン設定(P)...", {}},
        {"オプション(&O)", 10161, "サムネイル設定(O)...", {}},
        {"オプション(&O)", 32779, "書庫ファイル内も表示対象(&U)", {}},
        {"オプション(&O)", 10110, "サブフォルダのファイルも表示対象(&F)", {}},
        {"オプション(&O)", 10048, "表示の同期(&S)", {}},
        {"ヘルプ(&H)", 10119, "ヘルプ(&H)", {}},
        {"ヘルプ(&H)", 57664, "バージョン情報 (&A)...", {}},
    };
    return items;
}

TEST_F(MainWindowTest, MenuBarHoldsEveryItemOfTheDesignWithItsTextAndKeys) {
    std::map<QString, std::map<int, QAction*>> menus;
    QStringList titles;
    for (QAction* top : m_frame->menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        titles << top->text();
        menus[top->text()] = menuActions(top->menu());
    }
    EXPECT_EQ(titles, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "フォルダ(&D)",
                                   "ツール(&T)", "オプション(&O)", "ヘルプ(&H)"}));
    for (const DesignItem& item : designMenu()) {
        SCOPED_TRACE(item.id);
        const auto& menu = menus[QString::fromUtf8(item.menu)];
        const auto found = menu.find(item.id);
        ASSERT_NE(found, menu.end()) << item.menu;
        if (item.text != nullptr) {
            EXPECT_EQ(found->second->text(), QString::fromUtf8(item.text));
        }
        // One action per command: the same key is bound once.
        EXPECT_EQ(found->second, m_frame->action(item.id));
        const QList<QKeySequence> keys = found->second->shortcuts();
        for (const QKeySequence& key : item.keys) {
            EXPECT_TRUE(keys.contains(key)) << key.toString().toStdString();
        }
    }
    // Cut has no menu item, only its keys.
    ASSERT_NE(m_frame->action(57635), nullptr);
    EXPECT_TRUE(m_frame->action(57635)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_X)));
    EXPECT_TRUE(
        m_frame->action(57635)->shortcuts().contains(QKeySequence(Qt::SHIFT | Qt::Key_Delete)));
}

TEST_F(MainWindowTest, FurtherKeysOfTheFrame) {
    auto has = [this](int id, const QKeySequence& key) {
        const QAction* a = m_frame->action(id);
        return a != nullptr && a->shortcuts().contains(key) && m_frame->actions().contains(a);
    };
    EXPECT_TRUE(has(32782, QKeySequence(Qt::Key_V)));
    EXPECT_TRUE(has(57680, QKeySequence(Qt::Key_F6)));
    EXPECT_TRUE(has(57681, QKeySequence(Qt::SHIFT | Qt::Key_F6)));
    EXPECT_TRUE(has(128, QKeySequence(Qt::ALT | Qt::Key_Up)));
    EXPECT_TRUE(has(131, QKeySequence(Qt::ALT | Qt::Key_Right)));
    EXPECT_TRUE(has(8000, QKeySequence(Qt::KeypadModifier | Qt::Key_0)));
    EXPECT_TRUE(has(8009, QKeySequence(Qt::KeypadModifier | Qt::Key_9)));
    // No key is bound to two actions (Qt would run neither).
    std::map<QKeySequence, int> owners;
    for (const QAction* a : m_frame->actions()) {
        for (const QKeySequence& key : a->shortcuts()) {
            EXPECT_TRUE(owners.emplace(key, CommandActions::commandOf(a)).second)
                << key.toString().toStdString() << " also on " << owners[key];
        }
    }
}

TEST_F(MainWindowTest, EnablingRulesBarsAndCommandsWithoutHandlers) {
    m_frame->updateCommandStates();
    // Features that arrive later have no handler yet and stay disabled.
    EXPECT_FALSE(m_frame->action(kCmdCopyFiles)->isEnabled());
    EXPECT_FALSE(m_frame->action(kCmdHtmlCatalog)->isEnabled());
    // Without the application object nobody answers the about box.
    EXPECT_FALSE(m_frame->action(kCmdAppAbout)->isEnabled());
    // The document's rules: nothing listed, nothing to select; no history.
    EXPECT_FALSE(m_frame->action(kCmdSelectAll)->isEnabled());
    EXPECT_FALSE(m_frame->action(kCmdHistoryBack)->isEnabled());
    EXPECT_TRUE(m_frame->action(kCmdRefresh)->isEnabled());
    // The bars are shown and checked; the command hides them.
    EXPECT_TRUE(m_frame->action(kCmdViewToolBar)->isChecked());
    EXPECT_TRUE(m_frame->runCommand(kCmdViewToolBar));
    EXPECT_FALSE(m_frame->toolBar()->isVisibleTo(m_frame.get()));
    EXPECT_FALSE(m_frame->action(kCmdViewToolBar)->isChecked());
    EXPECT_TRUE(m_frame->runCommand(kCmdViewStatusBar));
    EXPECT_FALSE(m_frame->mainStatusBar()->isVisibleTo(m_frame.get()));
    EXPECT_TRUE(m_frame->runCommand(kCmdViewPluginSetBar));
    EXPECT_FALSE(m_frame->pluginSetBar()->isVisibleTo(m_frame.get()));
    // A disabled command does not run.
    EXPECT_FALSE(m_frame->runCommand(kCmdCopyFiles));
}

// The stored history orders every scan; the sort menu adds to it.
TEST_F(MainWindowTest, SortHistoryOrdersEveryScanAndTheSortMenuExtendsIt) {
    const std::string folder = makeFolder("sorted");
    // Sizes order the names differently: b and d 3 bytes, c 2, a 1.
    for (const auto& [name, size] :
         {std::pair{"a.txt", 1}, {"b.txt", 3}, {"c.txt", 2}, {"d.txt", 3}})
        test::writeFile(folder + "/" + name,
                        std::vector<std::byte>(static_cast<std::size_t>(size), std::byte{0x78}));
    // Size descending (column 2, code 2), ties by name ascending (column 0, code 1).
    m_frame.reset(); // it writes its own history as it goes
    f.store.putText("LstView", "SortHistory", "131074,65536");
    m_frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    const auto shown = [&] {
        std::string names;
        for (int i = 0; i < f.document->displayedCount(); ++i)
            names += f.document->entryAt(i)->fileName.substr(0, 1);
        return names;
    };

    f.document->openFolder(folder, nullptr, false);
    EXPECT_EQ(shown(), "bdca");
    f.document->refresh(false);
    EXPECT_EQ(shown(), "bdca");
    m_frame->updateCommandStates();
    EXPECT_TRUE(m_frame->action(kCmdSortSize)->isChecked());
    EXPECT_TRUE(m_frame->action(kCmdSortDescending)->isChecked());

    // The menu through the routing chain: a new column keeps the direction.
    const struct {
        int command;
        const char* order;
        const char* stored;
    } steps[] = {
        {kCmdSortName, "dcba", "131072,131074"},
        {kCmdSortAscending, "abcd", "65536,131074"},
        {kCmdSortSize, "acbd", "65538,65536"},
        {kCmdSortNone, "abcd", "0,65538"},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(m_frame->action(step.command)->isEnabled()) << step.command;
        EXPECT_TRUE(m_frame->runCommand(step.command));
        EXPECT_EQ(shown(), step.order) << step.command;
        EXPECT_EQ(f.store.getText("LstView", "SortHistory"), step.stored) << step.command;
    }
    // Re-sorting applies the whole history again.
    m_frame.reset(); // it writes its own history as it goes
    f.store.putText("LstView", "SortHistory", "131074,65536");
    m_frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    EXPECT_TRUE(m_frame->runCommand(kCmdResort));
    EXPECT_EQ(shown(), "bdca");
}

TEST_F(MainWindowTest, SizeDropDownRemembersAndRequestsSizes) {
    QSignalSpy sizes(m_frame.get(), &MainWindow::cellSizeRequested);
    QSignalSpy columns(m_frame.get(), &MainWindow::columnsRequested);
    m_frame->fillSizeMenu();
    int divideItems = 0;
    for (const QAction* a : m_frame->sizeMenu()->actions()) {
        divideItems += a->data().toInt() >= 8002 && a->data().toInt() <= 8016 ? 1 : 0;
    }
    EXPECT_EQ(divideItems, 15);
    EXPECT_EQ(m_frame->sizeMenu()->actions().front()->text(), QStringLiteral("現在値を記憶"));

    f.document->setThumbnailSize({96, 72});
    EXPECT_TRUE(m_frame->runCommand(kCmdRememberSize));
    EXPECT_EQ(f.store.getText("MainFrame", "ThumbsSize0"), "96,72");
    m_frame->fillSizeMenu();
    EXPECT_EQ(m_frame->sizeMenu()->actions().at(2)->text(), QStringLiteral("96x72"));
    EXPECT_EQ(m_frame->sizeMenu()->actions().at(2)->data().toInt(), 8101);

    EXPECT_TRUE(m_frame->runCommand(8101));
    ASSERT_EQ(sizes.count(), 1);
    EXPECT_EQ(sizes.at(0), (QList<QVariant>{96, 72}));
    // Keypad 0 restores the remembered size instead of dividing.
    EXPECT_TRUE(m_frame->runCommand(8000));
    EXPECT_EQ(sizes.count(), 2);
    EXPECT_EQ(columns.count(), 0);
    EXPECT_TRUE(m_frame->runCommand(8004));
    ASSERT_EQ(columns.count(), 1);
    EXPECT_EQ(columns.at(0).at(0).toInt(), 4);
}

TEST_F(MainWindowTest, TreeOpensFoldersAndHistoryMenusMoveBetweenThem) {
    const std::string a = makeFolder("a"), b = makeFolder("b"), c = makeFolder("c");
    test::writeFile(b + "/one.bmp",
                    test::bmpFile(test::infoHeader(1, 1, 24), test::bytes({1, 2, 3, 0})));
    for (const std::string& folder : {a, b, c}) {
        ASSERT_TRUE(m_frame->folderTree()->selectFolder(folder));
        EXPECT_EQ(f.document->currentFolder(), folder);
    }
    m_frame->fillHistoryMenu(false);
    const QList<QAction*> back = m_frame->historyMenu(false)->actions();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0]->text().toStdString(), b + "/*.*");
    EXPECT_EQ(back[0]->data().toInt(), 7000);
    EXPECT_EQ(back[1]->text().toStdString(), a + "/*.*");
    EXPECT_EQ(back[1]->data().toInt(), 7001);
    m_frame->fillHistoryMenu(true);
    EXPECT_TRUE(m_frame->historyMenu(true)->actions().isEmpty());

    // Choosing an entry moves the document there, through the tree.
    EXPECT_TRUE(m_frame->runCommand(7000));
    EXPECT_EQ(f.document->currentFolder(), b);
    EXPECT_EQ(m_frame->folderTree()->selectedFolder(), b);
    EXPECT_EQ(f.document->displayedCount(), 1);
    EXPECT_EQ(m_frame->grid()->layout().count, 1);
    ASSERT_EQ(m_frame->detailsList()->model().rowCount(), 1);
    EXPECT_EQ(m_frame->detailsList()->model().rows()[0].text(kSortByName), "one");
    EXPECT_TRUE(m_frame->mainStatusBar()->paneText(1).startsWith(QStringLiteral("全 1 ﾌｧｲﾙ")));
    m_frame->fillHistoryMenu(true);
    ASSERT_EQ(m_frame->historyMenu(true)->actions().size(), 1);
    EXPECT_EQ(m_frame->historyMenu(true)->actions()[0]->data().toInt(), 7101);
    EXPECT_FALSE(m_frame->router().state(7002).enabled);
    EXPECT_TRUE(m_frame->runCommand(7101));
    EXPECT_EQ(f.document->currentFolder(), c);
    // Beyond the history nothing runs.
    EXPECT_FALSE(m_frame->runCommand(7105));
    EXPECT_EQ(f.document->currentFolder(), c);
    // A folder that does not exist selects its nearest existing parent.
    EXPECT_TRUE(m_frame->folderTree()->selectFolder(a + "/gone/deeper"));
    EXPECT_EQ(f.document->currentFolder(), a);
}

TEST_F(MainWindowTest, StatusTextsAndTheGridsProgressReachTheStatusBar) {
    const std::string text = "選択 2 ﾌｧｲﾙ(3.0KB)";
    m_frame->setStatusText(0, text);
    EXPECT_EQ(m_frame->mainStatusBar()->paneText(0), QString::fromStdString(text));
    m_frame->setStatusProgress(MainStatusBar::kProgressPane, 40);
    EXPECT_EQ(m_frame->mainStatusBar()->progressPane()->percent(), 40);
    emit m_frame->grid()->thumbnailProgress(0);
    EXPECT_EQ(m_frame->mainStatusBar()->progressPane()->percent(), 0);
    emit m_frame->grid()->thumbnailProgress(75);
    EXPECT_EQ(m_frame->mainStatusBar()->progressPane()->percent(), 75);
}

// A folder monitor runs on a thread of its own; its notice waits for the
// interface thread's event loop, and one meant for a window that has gone
// meanwhile is dropped.
TEST_F(MainWindowTest, AFolderChangeNoticeFromAnotherThreadIsReadOnTheInterfaceThread) {
    const std::string folder = makeFolder("watched");
    test::makePictures(folder, 2);
    f.document->openFolder(folder, nullptr, false);
    ASSERT_EQ(f.document->displayedCount(), 2);
    test::makePictures(folder, 3);

    auto notify = [&] {
        std::thread monitor([frame = m_frame.get()] {
            QMetaObject::invokeMethod(frame, &MainWindow::shownFolderChanged, Qt::QueuedConnection);
        });
        monitor.join();
    };
    notify();
    EXPECT_EQ(f.document->displayedCount(), 2); // nothing ran on the monitor's thread
    QCoreApplication::processEvents();
    EXPECT_EQ(f.document->displayedCount(), 3);

    test::makePictures(folder, 4);
    notify();
    m_frame.reset();
    QCoreApplication::processEvents(); // must not reach the destroyed window
    EXPECT_EQ(f.document->displayedCount(), 3);
}

TEST_F(MainWindowTest, PlacementBarsAndPanesComeBackInTheNextFrame) {
    m_frame->show();
    WindowPlacement placed;
    placed.normalPosition = {120, 90, 920, 690};
    m_frame->applyPlacement(placed);
    EXPECT_EQ(m_frame->geometry(), QRect(120, 90, 800, 600));
    EXPECT_EQ(m_frame->placement().normalPosition, placed.normalPosition);
    m_frame->runCommand(kCmdViewPluginSetBar);
    m_frame->columns()->setSizes({230, 570});
    const std::string folder = makeFolder("last");
    m_frame->folderTree()->selectFolder(folder);

    test::HintRecorder recorder;
    f.document->addView(&recorder);
    m_frame->close();
    // Closing tells the views to stop painting first.
    ASSERT_FALSE(recorder.hints.empty());
    EXPECT_EQ(recorder.hints.front(), hint::kStopPainting);
    f.document->removeView(&recorder);

    EXPECT_EQ(WindowPlacement::load(f.store)->normalPosition, placed.normalPosition);
    EXPECT_EQ(f.store.getText("MainFrame", "Window"), "120,90,800,600");
    EXPECT_EQ(f.store.getText("MainFrame", "PluginSetBar"), "0");
    EXPECT_EQ(f.store.getText("MainFrame", "ToolBar"), "1");
    EXPECT_EQ(f.store.getText("DrvView", "Path"), folder);
    EXPECT_EQ(readRect(f.store.getText("DrvView", "Window")).right, 230);

    m_frame = std::make_unique<MainWindow>(*f.document, f.registry.get(), f.store);
    EXPECT_FALSE(m_frame->pluginSetBar()->isVisibleTo(m_frame.get()));
    EXPECT_TRUE(m_frame->toolBar()->isVisibleTo(m_frame.get()));
    m_frame->applyPlacement(*WindowPlacement::load(f.store));
    m_frame->show();
    EXPECT_EQ(m_frame->geometry(), QRect(120, 90, 800, 600));
    EXPECT_EQ(m_frame->columns()->sizes().front(), 230);

    // A place off every screen comes back on the primary screen.
    placed.normalPosition = {50000, 50000, 50800, 50600};
    m_frame->applyPlacement(placed);
    EXPECT_LT(m_frame->geometry().left(), 10000);
    EXPECT_EQ(m_frame->geometry().size(), QSize(800, 600));
}

TEST_F(MainWindowTest, PluginSetBarSwitchesTheRegistrysSet) {
    // A set saved by the plug-in settings dialog (one plug-in entry).
    f.store.putInt("SPISET\\写真", "webp", 1);
    m_frame->reloadPluginSets();
    QComboBox* list = m_frame->pluginSetList();
    ASSERT_GE(list->count(), 2);
    EXPECT_EQ(list->currentText(), QString());
    EXPECT_NE(list->findText(QStringLiteral("写真")), -1);
    EXPECT_EQ(list->findText(QStringLiteral("_Default")), -1);

    test::HintRecorder recorder;
    f.document->addView(&recorder);
    list->setCurrentIndex(list->findText(QStringLiteral("写真")));
    EXPECT_TRUE(m_frame->runCommand(kCmdPluginSetList));
    EXPECT_EQ(f.registry->currentSet(), "写真");
    EXPECT_EQ(recorder.hints, (std::vector<int>{hint::kRedrawAll}));
    // The same set again changes nothing.
    EXPECT_TRUE(m_frame->runCommand(kCmdPluginSetList));
    EXPECT_EQ(recorder.hints.size(), 1u);
    f.document->removeView(&recorder);
}

TEST_F(MainWindowTest, TreeOpensNothingOnItsOwnBeforeStartupFinishes) {
    const std::string folder = makeFolder("first");
    f.document->openDocumentPath(folder);
    // Shown and focused, the tree makes its first row current by itself;
    // that must not open the root folder over the one start-up chose.
    m_frame->show();
    QApplication::setActiveWindow(m_frame.get());
    m_frame->folderTree()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.document->currentFolder(), folder);
    f.document->updateAllViews(nullptr, hint::StartupFinished{});
    EXPECT_EQ(m_frame->folderTree()->selectedFolder(), folder);
    EXPECT_EQ(f.document->history().size(), 1u);
}

TEST_F(MainWindowTest, EscapeStopsTheScanOfAFolder) {
    const std::string big = makeFolder("big");
    const auto picture = test::bmpFile(test::infoHeader(1, 1, 24), test::bytes({1, 2, 3, 0}));
    for (int i = 0; i < 60; ++i) {
        test::writeFile(big + "/p" + std::to_string(i) + ".bmp", picture);
    }
    m_frame->show();
    // Escape is waiting when the scan begins: the scan stops early.
    QCoreApplication::postEvent(m_frame->folderTree(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    ASSERT_TRUE(m_frame->folderTree()->selectFolder(big));
    EXPECT_LT(f.document->displayedCount(), 60);
    // The key that stopped the scan goes on to its window afterwards.
    QCoreApplication::processEvents();
    // Without it the whole folder is read.
    ASSERT_TRUE(m_frame->folderTree()->selectFolder(makeFolder("other")));
    ASSERT_TRUE(m_frame->folderTree()->selectFolder(big));
    EXPECT_EQ(f.document->displayedCount(), 60);
}

TEST_F(MainWindowTest, DocumentProgressShowsInTheProgressWindow) {
    ProgressWindowSink sink(m_frame.get());
    EXPECT_FALSE(sink.cancelRequested());
    sink.begin("フォルダ情報", "読み込み中", 4);
    ASSERT_NE(sink.window(), nullptr);
    EXPECT_TRUE(sink.window()->isVisible());
    sink.advance();
    EXPECT_EQ(sink.window()->percent(), 25);
    // A second begin with the real total keeps the window.
    ProgressWindow* first = sink.window();
    sink.begin("フォルダ情報", "読み込み中", 10);
    EXPECT_EQ(sink.window(), first);
    sink.setMessage("a.jpg");
    EXPECT_EQ(sink.window()->text(), QStringLiteral("a.jpg"));
    sink.window()->requestCancel();
    EXPECT_TRUE(sink.cancelRequested());
    EXPECT_FALSE(sink.cancelRequested());
    sink.end();
    EXPECT_EQ(sink.window(), nullptr);
    sink.advance(); // nothing open: nothing happens
}

TEST_F(MainWindowTest, F6AndShiftF6MoveBetweenThePanes) {
    m_frame->show();
    QApplication::setActiveWindow(m_frame.get());
    m_frame->folderTree()->setFocus();
    EXPECT_TRUE(m_frame->runCommand(kCmdNextPane));
    EXPECT_TRUE(m_frame->detailsList()->isAncestorOf(QApplication::focusWidget()));
    EXPECT_TRUE(m_frame->runCommand(kCmdNextPane));
    EXPECT_EQ(QApplication::focusWidget(), m_frame->grid());
    EXPECT_TRUE(m_frame->runCommand(kCmdNextPane));
    EXPECT_EQ(QApplication::focusWidget(), m_frame->folderTree());
    EXPECT_TRUE(m_frame->runCommand(kCmdPreviousPane));
    EXPECT_EQ(QApplication::focusWidget(), m_frame->grid());
    // From elsewhere (the plug-in-set list) F6 goes to the tree.
    m_frame->pluginSetList()->setFocus();
    EXPECT_TRUE(m_frame->runCommand(kCmdNextPane));
    EXPECT_EQ(QApplication::focusWidget(), m_frame->folderTree());
}

TEST_F(MainWindowTest, ScreenshotWithTheSamplesOpen) {
    m_frame->resize(960, 640);
    m_frame->show();
    FolderTree* tree = m_frame->folderTree();
    ASSERT_TRUE(tree->selectFolder(test::samplesFolder()));
    EXPECT_GT(f.document->displayedCount(), 5);
    EXPECT_EQ(m_frame->grid()->layout().count, f.document->displayedCount());
    m_frame->mainStatusBar()->setPaneProgress(3, 60);
    // The tree reads the folders on the path as it selects it: the selected
    // folder is in sight once the view has laid out its rows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QRect row = tree->visualItemRect(tree->currentItem());
            return row.top() >= 0 && row.bottom() < tree->viewport()->height();
        },
        10000));
    const std::string path =
        test::saveScreenshot(m_frame->grab().toImage(), "main_window_samples.png");
    EXPECT_TRUE(fs::exists(path));
}

} // namespace
} // namespace vemra
