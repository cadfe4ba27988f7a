#include "framework/command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vemra {
namespace {

struct Expected {
    int id;
    const char* text;
    std::vector<std::string> keys;
};

// The main menu as the user sees it: every item with its text and keys.
const std::vector<Expected> kMainMenuItems = {
    {10005, "複写(&C)...", {"C"}},
    {10006, "移動(&M)...", {"M"}},
    {10009, "名前の変更(&R)...", {"R", "F2"}},
    {10126, "連番で名前変更(&T)...", {"N"}},
    {10007, "削除(&D)...", {"D", "Del"}},
    {10112, "画像形式を指定して保存(&S)...", {"Ctrl+S"}},
    {10085, "解凍(&E)", {"U"}},
    {57607, "印刷(&P)...", {"Ctrl+P"}},
    {57665, "アプリケーションの終了(&X)", {"Ctrl+Q"}},
    {57634, "コピー(&C)", {"Ctrl+C", "Ctrl+Ins"}},
    {57637, "貼り付け(&P)", {"Ctrl+V", "Shift+Ins"}},
    {57635, "切り取り", {"Ctrl+X", "Shift+Del"}},
    {10168, "コメント入力(&N)", {"Ctrl+N"}},
    {10074, "サムネイル情報を保存(&W)...", {"Ctrl+W"}},
    {32793, "全選択(&A)", {"Ctrl+A"}},
    {32774, "前頁を表示(&P)", {"PgUp"}},
    {32773, "次頁を表示(&N)", {"PgDown"}},
    {32771, "サムネイル拡大(&B)", {"+", "Num++"}},
    {32772, "サムネイル縮小(&S)", {"-", "Num+-"}},
    {10071, "サムネイル再作成(&U)", {"Ctrl+T", "F8"}},
    {10130, "ソートしない(N)", {}},
    {10131, "ファイル名(&F)", {}},
    {10132, "拡張子(&E)", {}},
    {10133, "サイズ(&S)", {}},
    {10134, "更新日付(&D)", {}},
    {10135, "画素　幅(&W)", {}},
    {10136, "画素　高さ(&H)", {}},
    {10137, "画素　色(&C)", {}},
    {10164, "画素　面積(&D)", {}},
    {10138, "書庫ファイル名(&A)", {}},
    {10139, "昇順(&A)", {}},
    {10140, "降順(&D)", {}},
    {10165, "再ソート(&R)", {"Ctrl+R"}},
    {10113, "表示フィルタ(&W)...", {"W", "F3"}},
    {10072, "最新の情報に更新(&R)...", {"F5"}},
    {59392, "ツール バー(&T)", {}},
    {10162, "プラグインセット バー(&P)", {}},
    {59393, "ステータス ﾊﾞｰ(&S)", {}},
    {110, "大きいアイコン表示", {}},
    {111, "小さいアイコン表示", {}},
    {112, "一覧表示", {}},
    {113, "詳細表示", {}},
    {10188, "フォルダの新規作成(&K)", {"K"}},
    {10187, "フォルダの名前変更(&R)", {}},
    {10189, "フォルダの削除(&D)", {}},
    {10156, "リスト編集(&L)...", {}},
    {10053, "外部アプリケーション登録(&A)...", {}},
    {10217, "サムネイル情報メンテナンス(&M)...", {}},
    {10010, "HTMLの作成(&H)...", {}},
    {10195, "コンタクトシートの作成(&G)...", {}},
    {10170, "レポートファイルの作成(&R)...", {}},
    {10159, "動作設定(V)...", {}},
    {10160, "プラグイン設定(P)...", {}},
    {10161, "サムネイル設定(O)...", {}},
    {32779, "書庫ファイル内も表示対象(&U)", {}},
    {10110, "サブフォルダのファイルも表示対象(&F)", {}},
    {10048, "表示の同期(&S)", {}},
    {10119, "ヘルプ(&H)", {}},
    {57664, "バージョン情報 (&A)...", {}},
};

std::vector<std::string> keysOf(const CommandInfo& info) {
    std::vector<std::string> keys;
    for (std::string_view k : info.keyList())
        keys.emplace_back(k);
    return keys;
}

TEST(CommandTable, MainMenuItemsHaveTheirTextsAndKeys) {
    for (const Expected& e : kMainMenuItems) {
        SCOPED_TRACE(e.id);
        const CommandInfo* info = findCommand(e.id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->text, e.text);
        EXPECT_EQ(keysOf(*info), e.keys);
    }
}

TEST(CommandTable, FurtherKeysOfTheMainWindow) {
    EXPECT_EQ(commandForKey("V"), kCmdOpenViewer);
    EXPECT_EQ(commandForKey("Return"), kCmdOpenCurrent);
    EXPECT_EQ(commandForKey("F6"), kCmdNextPane);
    EXPECT_EQ(commandForKey("Shift+F6"), kCmdPreviousPane);
    for (int n = 0; n <= 9; ++n)
        EXPECT_EQ(commandForKey("Num+" + std::to_string(n)), 8000 + n);
    EXPECT_EQ(commandForKey("Alt+Up"), 128);
    EXPECT_EQ(commandForKey("Alt+Down"), 129);
    EXPECT_EQ(commandForKey("Alt+Left"), 130);
    EXPECT_EQ(commandForKey("Alt+Right"), 131);
    EXPECT_EQ(commandForKey("Q"), kCmdNone);
}

TEST(CommandTable, EveryMenuLayoutItemIsInTheTable) {
    std::set<int> seen;
    const auto walk = [&](auto&& self, std::span<const MenuItem> items) -> void {
        for (const MenuItem& item : items) {
            if (item.isPopup()) {
                EXPECT_FALSE(item.items.empty()) << item.text;
                self(self, item.items);
            } else if (!item.isSeparator()) {
                EXPECT_NE(findCommand(item.id), nullptr) << item.id;
                seen.insert(item.id);
            }
        }
    };
    walk(walk, mainMenuLayout());
    for (const Expected& e : kMainMenuItems) {
        if (e.id != kCmdEditCut) { // the cut command has a key but no menu item
            EXPECT_TRUE(seen.count(e.id)) << e.id;
        }
    }
    ASSERT_EQ(mainMenuLayout().size(), 7u);
    EXPECT_EQ(mainMenuLayout()[0].text, "ファイル(&F)");
    EXPECT_EQ(mainMenuLayout()[6].text, "ヘルプ(&H)");
}

TEST(CommandTable, NoKeySendsTwoCommandsInOneWindow) {
    for (CommandScope scope :
         {CommandScope::MainWindow, CommandScope::Viewer, CommandScope::SlideShow}) {
        std::map<std::string, int> owner;
        std::set<int> ids;
        for (const CommandInfo& info : commandTable(scope)) {
            EXPECT_TRUE(ids.insert(info.id).second) << "id listed twice: " << info.id;
            for (std::string_view key : info.keyList()) {
                const auto [it, fresh] = owner.emplace(std::string(key), info.id);
                EXPECT_TRUE(fresh) << key << " sends " << it->second << " and " << info.id;
            }
        }
    }
}

TEST(CommandTable, ViewerAndSlideShowHaveTheirOwnKeysAndTexts) {
    EXPECT_EQ(commandForKey("C", CommandScope::Viewer), kCmdViewerCopy);
    EXPECT_EQ(commandForKey("Ctrl+S", CommandScope::Viewer), kCmdViewerSave);
    EXPECT_EQ(commandForKey("Num+0", CommandScope::Viewer), kCmdResetZoom);
    EXPECT_EQ(commandForKey("Alt+B", CommandScope::Viewer), kCmdScaleAuto);
    EXPECT_EQ(commandForKey("Esc", CommandScope::Viewer), kCmdCloseViewer);
    EXPECT_EQ(commandForKey("Ctrl+W", CommandScope::Viewer), kCmdCloseViewer);
    EXPECT_EQ(commandForKey("Shift+Tab", CommandScope::Viewer), kCmdPreviousViewer);
    EXPECT_EQ(commandForKey("Esc", CommandScope::SlideShow), kCmdCloseViewer);
    EXPECT_EQ(commandForKey("Right", CommandScope::SlideShow), kCmdNextPicture);

    EXPECT_EQ(commandText(kCmdViewOptions, CommandScope::Viewer), "表示モード設定(&D)");
    EXPECT_EQ(commandText(kCmdViewOptions, CommandScope::SlideShow), "オプション設定(&O)");
    // A command the viewer's table lacks reads as in the main window.
    EXPECT_EQ(commandText(kCmdSelectAll, CommandScope::Viewer), "全選択(&A)");
    EXPECT_EQ(findCommand(kCmdSelectAll, CommandScope::Viewer), nullptr);
    EXPECT_EQ(commandText(12345), "");

    std::vector<std::string> popup;
    for (const MenuItem& item : slideShowMenuLayout()) {
        if (!item.isSeparator())
            popup.emplace_back(commandText(item.id, CommandScope::SlideShow));
    }
    EXPECT_EQ(popup, (std::vector<std::string>{"閉じる(&C)", "先頭画像(&T)", "前の画像(&P)",
                                               "順次描画(&A)", "次の画像(&N)", "最終画像(&B)",
                                               "オプション設定(&O)"}));
}

} // namespace
} // namespace vemra
