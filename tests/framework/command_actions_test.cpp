#include "framework/command_actions.h"
#include "framework/command_router.h"
#include "framework/idle_driver.h"

#include <QAction>
#include <QEventLoop>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace vemra {
namespace {

class RuleTarget : public CommandTarget {
public:
    std::map<int, CommandState> rules;
    std::vector<int> ran;
    int asked = 0;

    std::optional<CommandState> commandState(int id) const override {
        ++const_cast<RuleTarget*>(this)->asked;
        const auto it = rules.find(id);
        if (it == rules.end())
            return std::nullopt;
        return it->second;
    }
    bool onCommand(int id) override {
        ran.push_back(id);
        return true;
    }
};

class CommandActionsTest : public ::testing::Test {
protected:
    void SetUp() override { router.setTarget(CommandRouter::Level::Document, &document); }

    RuleTarget document;
    CommandRouter router;
};

TEST_F(CommandActionsTest, ActionsCarryTheTableTextsAndKeys) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::MainWindow, &window);
    QAction* rename = actions.action(kCmdRename);
    EXPECT_EQ(rename->text(), QString("名前の変更(&R)..."));
    EXPECT_EQ(rename->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::Key_R), QKeySequence(Qt::Key_F2)}));
    EXPECT_EQ(actions.action(kCmdRename), rename) << "one action per id";
    EXPECT_EQ(CommandActions::commandOf(rename), kCmdRename);

    QAction* larger = actions.action(kCmdLargerThumbnails);
    EXPECT_EQ(larger->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::Key_Plus),
                                   QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)}));
    EXPECT_EQ(actions.action(kCmdDivideFirst + 3)->shortcut(),
              QKeySequence(Qt::KeypadModifier | Qt::Key_3));
    EXPECT_TRUE(window.actions().contains(rename)) << "keys work anywhere in the window";

    // Numbered range items get their text from whoever builds the menu.
    QAction* history = actions.action(kCmdHistoryFirst + 2);
    EXPECT_TRUE(history->text().isEmpty());
    EXPECT_FALSE(window.actions().contains(history));
}

TEST_F(CommandActionsTest, EveryKeyOfEveryTableParses) {
    for (CommandScope scope :
         {CommandScope::MainWindow, CommandScope::Viewer, CommandScope::SlideShow}) {
        for (const CommandInfo& info : commandTable(scope)) {
            for (std::string_view key : info.keyList()) {
                const QKeySequence parsed = QKeySequence::fromString(
                    QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())),
                    QKeySequence::PortableText);
                EXPECT_EQ(parsed.count(), 1) << key;
                EXPECT_NE(parsed[0].key(), Qt::Key_unknown) << key;
            }
        }
    }
}

TEST_F(CommandActionsTest, UnansweredCommandsShowDisabled) {
    CommandActions actions(router, CommandScope::MainWindow, nullptr);
    EXPECT_FALSE(actions.action(kCmdHelp)->isEnabled());
    EXPECT_FALSE(actions.action(kCmdMenuTitle)->isEnabled());
    document.rules[kCmdHelp] = {};
    actions.updateAll();
    EXPECT_TRUE(actions.action(kCmdHelp)->isEnabled());
}

TEST_F(CommandActionsTest, MenusAskTheRulesWhenAboutToShow) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::MainWindow, &window);
    document.rules[kCmdArchive] = CommandState{true, false};
    document.rules[kCmdSelectAll] = CommandState{false, false};
    const int ids[] = {kCmdArchive, kCmdNone, kCmdSelectAll};
    QMenu* menu = actions.buildMenu(ids, &window);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_TRUE(menu->actions()[1]->isSeparator());

    document.rules[kCmdArchive] = CommandState{true, true};
    document.rules[kCmdSelectAll] = CommandState{true, false};
    QAction* archive = actions.find(kCmdArchive);
    QAction* selectAll = actions.find(kCmdSelectAll);
    EXPECT_FALSE(selectAll->isEnabled()) << "not asked before the menu shows";
    emit menu->aboutToShow();
    EXPECT_TRUE(selectAll->isEnabled());
    EXPECT_TRUE(archive->isCheckable());
    EXPECT_TRUE(archive->isChecked());
}

TEST_F(CommandActionsTest, TriggeringRoutesAndTheRuleKeepsTheCheckMark) {
    CommandActions actions(router, CommandScope::MainWindow, nullptr);
    document.rules[kCmdSynchronous] = CommandState{true, true};
    QAction* sync = actions.action(kCmdSynchronous);
    ASSERT_TRUE(sync->isChecked());
    sync->trigger(); // Qt unchecks it; the document's rule still says checked
    EXPECT_EQ(document.ran, std::vector<int>{kCmdSynchronous});
    EXPECT_TRUE(sync->isChecked());

    // A rule that turned "disabled" since the last update stops the command.
    document.rules[kCmdSynchronous] = CommandState{false, false};
    sync->trigger();
    EXPECT_EQ(document.ran.size(), 1u);
}

// A command that closes the window its actions belong to.
class ClosingTarget : public CommandTarget {
public:
    std::unique_ptr<QMainWindow> window;

    std::optional<CommandState> commandState(int id) const override {
        if (id != kCmdCloseViewer)
            return std::nullopt;
        return CommandState{};
    }
    bool onCommand(int) override {
        window.reset();
        return true;
    }
};

TEST_F(CommandActionsTest, ACommandMayDestroyItsOwnWindow) {
    ClosingTarget frame;
    CommandRouter viewerRouter;
    viewerRouter.setTarget(CommandRouter::Level::Frame, &frame);
    frame.window = std::make_unique<QMainWindow>();
    auto* actions = new CommandActions(viewerRouter, CommandScope::Viewer, frame.window.get());
    actions->action(kCmdCloseViewer)->trigger();
    EXPECT_EQ(frame.window, nullptr);
}

TEST_F(CommandActionsTest, KeysAskTheRulesBeforeMatching) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::MainWindow, &window);
    actions.createAll();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QApplication::setActiveWindow(&window);

    // Disabled when the actions were made; enabled by the time the key
    // comes, without any menu or idle update in between.
    document.rules[kCmdSelectAll] = CommandState{true, false};
    ASSERT_FALSE(actions.find(kCmdSelectAll)->isEnabled());
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(document.ran, std::vector<int>{kCmdSelectAll});

    document.rules[kCmdSelectAll] = CommandState{false, false};
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(document.ran.size(), 1u);

    // Only the rules of commands bound to the key are asked.
    document.rules[kCmdEditPaste] = CommandState{true, false};
    document.asked = 0;
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_LE(document.asked, 6);
    EXPECT_FALSE(actions.find(kCmdEditPaste)->isEnabled());

    // Keypad keys and Shift+Tab find their commands too.
    document.rules[kCmdLargerThumbnails] = CommandState{true, false};
    QTest::keyClick(&window, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(document.ran.back(), kCmdLargerThumbnails);
    document.rules[kCmdDivideFirst + 4] = CommandState{true, false};
    QTest::keyClick(&window, Qt::Key_4, Qt::KeypadModifier);
    EXPECT_EQ(document.ran.back(), kCmdDivideFirst + 4);
}

TEST_F(CommandActionsTest, ViewerKeysReachTheViewer) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::Viewer, &window);
    actions.createAll();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    document.rules[kCmdPreviousViewer] = CommandState{true, false};
    document.rules[kCmdCloseViewer] = CommandState{true, false};
    QTest::keyClick(&window, Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(document.ran, (std::vector<int>{kCmdPreviousViewer, kCmdCloseViewer}));
}

TEST_F(CommandActionsTest, ToolBarsFollowTheRulesInIdleTime) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::MainWindow, &window);
    auto bar = std::make_unique<QToolBar>(&window);
    // Back comes as the main window adds it: a button with a drop-down
    // menu, added to the bar as a widget.
    auto* back = new QToolButton(bar.get());
    back->setDefaultAction(actions.action(kCmdHistoryBack));
    back->setMenu(new QMenu(back));
    back->setPopupMode(QToolButton::MenuButtonPopup);
    bar->addWidget(back);
    bar->addAction(actions.action(kCmdHistoryForward));
    actions.trackToolBar(bar.get());
    IdleDriver driver;
    actions.connectIdle(driver);
    ASSERT_FALSE(actions.find(kCmdHistoryBack)->isEnabled());

    document.rules[kCmdHistoryBack] = CommandState{true, false};
    document.rules[kCmdHistoryForward] = CommandState{false, false};
    // The tool bars are brought up to date when idle time begins, however
    // long the loop takes to get there.
    QEventLoop loop;
    QObject::connect(&driver, &IdleDriver::idleStarted, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(actions.find(kCmdHistoryBack)->isEnabled());
    EXPECT_FALSE(actions.find(kCmdHistoryForward)->isEnabled());

    // A tool bar that is gone is dropped, not touched.
    bar.reset();
    document.rules[kCmdHistoryBack] = CommandState{false, false};
    actions.updateToolBars();
    EXPECT_TRUE(actions.find(kCmdHistoryBack)->isEnabled());
}

TEST_F(CommandActionsTest, TheMainMenuBarFollowsTheLayout) {
    QMainWindow window;
    CommandActions actions(router, CommandScope::MainWindow, &window);
    actions.buildMenuBar(window.menuBar(), mainMenuLayout());
    const QList<QAction*> popups = window.menuBar()->actions();
    ASSERT_EQ(popups.size(), 7);
    EXPECT_EQ(popups[0]->text(), QString("ファイル(&F)"));
    QMenu* view = popups[2]->menu();
    ASSERT_NE(view, nullptr);
    QMenu* sort = nullptr;
    for (QAction* a : view->actions()) {
        if (a->menu() && a->text() == QString("ソート方法(&S)"))
            sort = a->menu();
    }
    ASSERT_NE(sort, nullptr);
    EXPECT_TRUE(sort->actions().contains(actions.find(kCmdResort)));
    // The same action serves the File and the Edit menu's delete item.
    QMenu* file = popups[0]->menu();
    QMenu* edit = popups[1]->menu();
    EXPECT_TRUE(file->actions().contains(actions.find(kCmdDeleteFiles)));
    EXPECT_TRUE(edit->actions().contains(actions.find(kCmdDeleteFiles)));
}

TEST_F(CommandActionsTest, ViewerActionsUseTheViewerTable) {
    CommandRouter viewerRouter;
    CommandActions actions(viewerRouter, CommandScope::Viewer, nullptr);
    EXPECT_EQ(actions.action(kCmdViewOptions)->text(), QString("表示モード設定(&D)"));
    EXPECT_EQ(actions.action(kCmdCloseViewer)->shortcuts().size(), 3);
    EXPECT_EQ(actions.action(kCmdViewerCopy)->shortcut(), QKeySequence(Qt::Key_C));
}

} // namespace
} // namespace vemra
