#include "framework/command_table.h"

#include <algorithm>

namespace vemra {

std::span<const std::string_view> CommandInfo::keyList() const {
    const auto used = std::find(keys.begin(), keys.end(), std::string_view{});
    return {keys.data(), static_cast<std::size_t>(used - keys.begin())};
}

namespace {

using Keys = std::array<std::string_view, 3>;

// The main window: menu bar, tool bars, context menus of the grid, the list
// and the tree, and the frame's further keys.
constexpr CommandInfo kMainCommands[] = {
    // ファイル
    {kCmdCopyFiles, "複写(&C)...", Keys{"C"}},
    {kCmdMoveFiles, "移動(&M)...", Keys{"M"}},
    {kCmdRename, "名前の変更(&R)...", Keys{"R", "F2"}},
    {kCmdSerialRename, "連番で名前変更(&T)...", Keys{"N"}},
    {kCmdDeleteFiles, "削除(&D)...", Keys{"D", "Del"}},
    {kCmdSaveInFormat, "画像形式を指定して保存(&S)...", Keys{"Ctrl+S"}},
    {kCmdExtract, "解凍(&E)", Keys{"U"}},
    {kCmdPrint, "印刷(&P)...", Keys{"Ctrl+P"}},
    {kCmdAppExit, "アプリケーションの終了(&X)", Keys{"Ctrl+Q"}},
    // 編集
    {kCmdEditCopy, "コピー(&C)", Keys{"Ctrl+C", "Ctrl+Ins"}},
    {kCmdEditPaste, "貼り付け(&P)", Keys{"Ctrl+V", "Shift+Ins"}},
    {kCmdEditCut, "切り取り", Keys{"Ctrl+X", "Shift+Del"}},
    {kCmdNote, "コメント入力(&N)", Keys{"Ctrl+N"}},
    {kCmdSaveThumbnails, "サムネイル情報を保存(&W)...", Keys{"Ctrl+W"}},
    {kCmdSelectAll, "全選択(&A)", Keys{"Ctrl+A"}},
    // 表示
    {kCmdPreviousPage, "前頁を表示(&P)", Keys{"PgUp"}},
    {kCmdNextPage, "次頁を表示(&N)", Keys{"PgDown"}},
    {kCmdLargerThumbnails, "サムネイル拡大(&B)", Keys{"+", "Num++"}},
    {kCmdSmallerThumbnails, "サムネイル縮小(&S)", Keys{"-", "Num+-"}},
    {kCmdRemakeThumbnails, "サムネイル再作成(&U)", Keys{"Ctrl+T", "F8"}},
    {kCmdSortNone, "ソートしない(N)", {}},
    {kCmdSortName, "ファイル名(&F)", {}},
    {kCmdSortExtension, "拡張子(&E)", {}},
    {kCmdSortSize, "サイズ(&S)", {}},
    {kCmdSortDate, "更新日付(&D)", {}},
    {kCmdSortWidth, "画素　幅(&W)", {}},
    {kCmdSortHeight, "画素　高さ(&H)", {}},
    {kCmdSortDepth, "画素　色(&C)", {}},
    {kCmdSortArea, "画素　面積(&D)", {}},
    {kCmdSortArchive, "書庫ファイル名(&A)", {}},
    {kCmdSortAscending, "昇順(&A)", {}},
    {kCmdSortDescending, "降順(&D)", {}},
    {kCmdResort, "再ソート(&R)", Keys{"Ctrl+R"}},
    {kCmdDisplayFilter, "表示フィルタ(&W)...", Keys{"W", "F3"}},
    {kCmdRefresh, "最新の情報に更新(&R)...", Keys{"F5"}},
    {kCmdViewToolBar, "ツール バー(&T)", {}},
    {kCmdViewPluginSetBar, "プラグインセット バー(&P)", {}},
    {kCmdViewStatusBar, "ステータス ﾊﾞｰ(&S)", {}},
    {kCmdListLargeIcons, "大きいアイコン表示", {}},
    {kCmdListSmallIcons, "小さいアイコン表示", {}},
    {kCmdListList, "一覧表示", {}},
    {kCmdListDetails, "詳細表示", {}},
    // フォルダ
    {kCmdNewFolder, "フォルダの新規作成(&K)", Keys{"K"}},
    {kCmdRenameFolder, "フォルダの名前変更(&R)", {}},
    {kCmdDeleteFolder, "フォルダの削除(&D)", {}},
    // ツール
    {kCmdEditList, "リスト編集(&L)...", {}},
    {kCmdRegisterApps, "外部アプリケーション登録(&A)...", {}},
    {kCmdThumbnailMaintenance, "サムネイル情報メンテナンス(&M)...", {}},
    {kCmdHtmlCatalog, "HTMLの作成(&H)...", {}},
    {kCmdContactSheet, "コンタクトシートの作成(&G)...", {}},
    {kCmdReportFile, "レポートファイルの作成(&R)...", {}},
    // オプション
    {kCmdBehaviourOptions, "動作設定(V)...", {}},
    {kCmdPluginSettings, "プラグイン設定(P)...", {}},
    {kCmdThumbnailOptions, "サムネイル設定(O)...", {}},
    {kCmdArchive, "書庫ファイル内も表示対象(&U)", {}},
    {kCmdDownScan, "サブフォルダのファイルも表示対象(&F)", {}},
    {kCmdSynchronous, "表示の同期(&S)", {}},
    // ヘルプ
    {kCmdHelp, "ヘルプ(&H)", {}},
    {kCmdAppAbout, "バージョン情報 (&A)...", {}},
    // tool-bar buttons and the frame's further keys
    {kCmdHistoryBack, "前のﾌｫﾙﾀﾞへ", {}},
    {kCmdHistoryForward, "次のﾌｫﾙﾀﾞへ", {}},
    {kCmdOpenViewer, "内蔵ビューアで表示", Keys{"V"}},
    {kCmdOpenCurrent, "", Keys{"Return", "Num+Enter"}},
    {kCmdNextPane, "", Keys{"F6"}},
    {kCmdPreviousPane, "", Keys{"Shift+F6"}},
    {kCmdFolderStepUp, "", Keys{"Alt+Up"}},
    {kCmdFolderStepDown, "", Keys{"Alt+Down"}},
    {kCmdFolderStepLeft, "", Keys{"Alt+Left"}},
    {kCmdFolderStepRight, "", Keys{"Alt+Right"}},
    {kCmdDivideFirst + 0, "", Keys{"Num+0"}},
    {kCmdDivideFirst + 1, "&1 分割", Keys{"Num+1"}},
    {kCmdDivideFirst + 2, "&2 分割", Keys{"Num+2"}},
    {kCmdDivideFirst + 3, "&3 分割", Keys{"Num+3"}},
    {kCmdDivideFirst + 4, "&4 分割", Keys{"Num+4"}},
    {kCmdDivideFirst + 5, "&5 分割", Keys{"Num+5"}},
    {kCmdDivideFirst + 6, "&6 分割", Keys{"Num+6"}},
    {kCmdDivideFirst + 7, "&7 分割", Keys{"Num+7"}},
    {kCmdDivideFirst + 8, "&8 分割", Keys{"Num+8"}},
    {kCmdDivideFirst + 9, "&9 分割", Keys{"Num+9"}},
    {kCmdRememberSize, "現在値を記憶", {}},
    // the grid's own commands (context menus, double-click actions)
    {kCmdFullScreen, "全画面表示", {}},
    {kCmdReload, "再読み込み", {}},
    {kCmdWallpaper, "壁紙設定(&W)...", {}},
    {kCmdRunAssociated, "関連付けに従い実行", {}},
    // the folder tree's context menu
    {kCmdTreeNewFolder, "フォルダの新規作成...", {}},
    {kCmdTreeDeleteFolder, "フォルダの削除...", {}},
    {kCmdTreeRenameFolder, "フォルダの名前変更...", {}},
};

// The picture viewer window: its view's commands, then its frame's.
constexpr CommandInfo kViewerCommands[] = {
    {kCmdFirstPicture, "先頭画像(&T)", Keys{"Home"}},
    {kCmdPreviousPicture, "前の画像(&P)", Keys{"Left"}},
    {kCmdNextPicture, "次の画像(&N)", Keys{"Right"}},
    {kCmdLastPicture, "最終画像(&B)", Keys{"End"}},
    {kCmdSequentialDrawing, "順次描画(&A)", {}},
    {kCmdZoomIn, "拡大(&U)", Keys{"+", "Num++"}},
    {kCmdZoomOut, "縮小(&D)", Keys{"-", "Num+-"}},
    {kCmdRotateRight, "右回転(&R)", Keys{"R"}},
    {kCmdRotateLeft, "左回転(&L)", {}},
    {kCmdFlipVertical, "上下反転(&U)", {}},
    {kCmdFlipHorizontal, "左右反転(&M)", {}},
    {kCmdFitOriginal, "そのまま", Keys{"Alt+O"}},
    {kCmdFitPicture, "画像サイズ", Keys{"Alt+G"}},
    {kCmdFitStretch, "ウインドウサイズへ伸縮", Keys{"Alt+W"}},
    {kCmdFitAspect, "縦横固定して伸縮", Keys{"Alt+A"}},
    {kCmdScalePlain, "通常", Keys{"Alt+N"}},
    {kCmdScaleNearest, "最近傍法", {}},
    {kCmdScaleLinear, "線形補間法", {}},
    {kCmdScaleAverage, "RGB平均法", {}},
    {kCmdScaleAuto, "自動判定 美麗モード", Keys{"Alt+B"}},
    {kCmdRepeat, "繰り返し再生", {}},
    {kCmdViewerFullScreen, "全画面表示", {}},
    {kCmdResetZoom, "", Keys{"Num+0"}},
    {kCmdViewOptions, "表示モード設定(&D)", Keys{"Ctrl+O"}},
    // Space reaches the view as a key press that sends "SpaceCommandID".
    {kCmdToggleSelected, "選択(&S)", {}},
    {kCmdViewerCopy, "複写", Keys{"C"}},
    {kCmdViewerMove, "移動", Keys{"M"}},
    {kCmdViewerDelete, "削除", Keys{"D", "Del"}},
    {kCmdViewerSave, "ファイル保存(&S)", Keys{"Ctrl+S"}},
    {kCmdViewerClipboardCopy, "クリップボードにコピー(&C)", Keys{"Ctrl+C"}},
    {kCmdViewerWallpaper, "壁紙設定(&W)", {}},
    {kCmdPrint, "印刷(&P)...", Keys{"Ctrl+P"}},
    {kCmdNote, "コメント入力(&N)", Keys{"Ctrl+N"}},
    {kCmdUnsharpMask, "アンシャープマスク", {}},
    {kCmdReduceColours, "減色 256色", {}},
    {kCmdCloseViewer, "閉じる(&C)", Keys{"Esc", "Ctrl+Q", "Ctrl+W"}},
    {kCmdCloseAllViewers, "すべてのビューアを閉じる", {}},
    {kCmdNextViewer, "次のウインドウ", Keys{"Tab"}},
    {kCmdPreviousViewer, "前のウインドウ", Keys{"Shift+Tab"}},
    {kCmdBackToMain, "メインウインドウに戻る", Keys{"Ctrl+F"}},
    {kCmdTileViewers, "並べて表示", Keys{"Ctrl+G"}},
    {kCmdAlwaysOnTop, "常に手前に表示", {}},
};

// The full-screen slide show: the viewer's keys for the commands it shares.
constexpr CommandInfo kSlideShowCommands[] = {
    {kCmdCloseViewer, "閉じる(&C)", Keys{"Esc"}},
    {kCmdFirstPicture, "先頭画像(&T)", Keys{"Home"}},
    {kCmdPreviousPicture, "前の画像(&P)", Keys{"Left"}},
    {kCmdSequentialDrawing, "順次描画(&A)", {}},
    {kCmdNextPicture, "次の画像(&N)", Keys{"Right"}},
    {kCmdLastPicture, "最終画像(&B)", Keys{"End"}},
    {kCmdViewOptions, "オプション設定(&O)", Keys{"Ctrl+O"}},
};

constexpr MenuItem kSeparator{};

constexpr MenuItem kFileMenu[] = {
    {kCmdCopyFiles, {}, {}},
    {kCmdMoveFiles, {}, {}},
    {kCmdRename, {}, {}},
    {kCmdSerialRename, {}, {}},
    {kCmdDeleteFiles, {}, {}},
    kSeparator,
    {kCmdSaveInFormat, {}, {}},
    {kCmdExtract, {}, {}},
    kSeparator,
    {kCmdPrint, {}, {}},
    kSeparator,
    {kCmdAppExit, {}, {}},
};

constexpr MenuItem kEditMenu[] = {
    {kCmdEditCopy, {}, {}},
    {kCmdEditPaste, {}, {}},
    {kCmdDeleteFiles, {}, {}},
    kSeparator,
    {kCmdNote, {}, {}},
    {kCmdSaveThumbnails, {}, {}},
    kSeparator,
    {kCmdSelectAll, {}, {}},
};

constexpr MenuItem kSortMenu[] = {
    {kCmdSortNone, {}, {}},
    kSeparator,
    {kCmdSortName, {}, {}},
    {kCmdSortExtension, {}, {}},
    {kCmdSortSize, {}, {}},
    {kCmdSortDate, {}, {}},
    {kCmdSortWidth, {}, {}},
    {kCmdSortHeight, {}, {}},
    {kCmdSortDepth, {}, {}},
    {kCmdSortArea, {}, {}},
    {kCmdSortArchive, {}, {}},
    kSeparator,
    {kCmdSortAscending, {}, {}},
    {kCmdSortDescending, {}, {}},
    kSeparator,
    {kCmdResort, {}, {}},
};

constexpr MenuItem kToolBarsMenu[] = {
    {kCmdViewToolBar, {}, {}},
    {kCmdViewPluginSetBar, {}, {}},
};

constexpr MenuItem kListStyleMenu[] = {
    {kCmdListLargeIcons, {}, {}},
    {kCmdListSmallIcons, {}, {}},
    {kCmdListList, {}, {}},
    {kCmdListDetails, {}, {}},
};

constexpr MenuItem kViewMenu[] = {
    {kCmdPreviousPage, {}, {}},
    {kCmdNextPage, {}, {}},
    kSeparator,
    {kCmdLargerThumbnails, {}, {}},
    {kCmdSmallerThumbnails, {}, {}},
    {kCmdRemakeThumbnails, {}, {}},
    kSeparator,
    {kCmdNone, "ソート方法(&S)", kSortMenu},
    {kCmdDisplayFilter, {}, {}},
    {kCmdRefresh, {}, {}},
    kSeparator,
    {kCmdNone, "ツールバー", kToolBarsMenu},
    {kCmdViewStatusBar, {}, {}},
    {kCmdNone, "情報表示ウインドウ", kListStyleMenu},
};

constexpr MenuItem kFolderMenu[] = {
    {kCmdNewFolder, {}, {}},
    {kCmdRenameFolder, {}, {}},
    {kCmdDeleteFolder, {}, {}},
};

constexpr MenuItem kToolsMenu[] = {
    {kCmdEditList, {}, {}},
    {kCmdRegisterApps, {}, {}},
    {kCmdThumbnailMaintenance, {}, {}},
    kSeparator,
    {kCmdHtmlCatalog, {}, {}},
    {kCmdContactSheet, {}, {}},
    {kCmdReportFile, {}, {}},
};

constexpr MenuItem kOptionsMenu[] = {
    {kCmdBehaviourOptions, {}, {}}, {kCmdPluginSettings, {}, {}},
    {kCmdThumbnailOptions, {}, {}}, kSeparator,
    {kCmdArchive, {}, {}},          {kCmdDownScan, {}, {}},
    {kCmdSynchronous, {}, {}},
};

constexpr MenuItem kHelpMenu[] = {
    {kCmdHelp, {}, {}},
    kSeparator,
    {kCmdAppAbout, {}, {}},
};

constexpr MenuItem kMainMenu[] = {
    {kCmdNone, "ファイル(&F)", kFileMenu}, {kCmdNone, "編集(&E)", kEditMenu},
    {kCmdNone, "表示(&V)", kViewMenu},     {kCmdNone, "フォルダ(&D)", kFolderMenu},
    {kCmdNone, "ツール(&T)", kToolsMenu},  {kCmdNone, "オプション(&O)", kOptionsMenu},
    {kCmdNone, "ヘルプ(&H)", kHelpMenu},
};

// The picture viewer's menu bar.
constexpr MenuItem kViewerFileMenu[] = {
    {kCmdViewerCopy, {}, {}},      {kCmdViewerMove, {}, {}},
    {kCmdViewerDelete, {}, {}},    kSeparator,
    {kCmdViewerSave, {}, {}},      {kCmdPrint, {}, {}},
    {kCmdViewerWallpaper, {}, {}}, kSeparator,
    {kCmdCloseViewer, {}, {}},     {kCmdCloseAllViewers, {}, {}},
};

constexpr MenuItem kViewerEditMenu[] = {
    {kCmdViewerClipboardCopy, {}, {}}, {kCmdNote, {}, {}},
    {kCmdToggleSelected, {}, {}},      kSeparator,
    {kCmdUnsharpMask, {}, {}},         {kCmdReduceColours, {}, {}},
};

constexpr MenuItem kViewerFitMenu[] = {
    {kCmdFitOriginal, {}, {}},
    {kCmdFitPicture, {}, {}},
    {kCmdFitStretch, {}, {}},
    {kCmdFitAspect, {}, {}},
};

constexpr MenuItem kViewerScaleMenu[] = {
    {kCmdScalePlain, {}, {}},   {kCmdScaleNearest, {}, {}}, {kCmdScaleLinear, {}, {}},
    {kCmdScaleAverage, {}, {}}, {kCmdScaleAuto, {}, {}},
};

constexpr MenuItem kViewerViewMenu[] = {
    {kCmdFirstPicture, {}, {}},
    {kCmdPreviousPicture, {}, {}},
    {kCmdNextPicture, {}, {}},
    {kCmdLastPicture, {}, {}},
    kSeparator,
    {kCmdSequentialDrawing, {}, {}},
    {kCmdRepeat, {}, {}},
    {kCmdViewerFullScreen, {}, {}},
    kSeparator,
    {kCmdZoomIn, {}, {}},
    {kCmdZoomOut, {}, {}},
    {kCmdRotateRight, {}, {}},
    {kCmdRotateLeft, {}, {}},
    {kCmdFlipVertical, {}, {}},
    {kCmdFlipHorizontal, {}, {}},
    kSeparator,
    {kCmdNone, "表示サイズ(&S)", kViewerFitMenu},
    {kCmdNone, "拡大縮小方法(&M)", kViewerScaleMenu},
    {kCmdViewOptions, {}, {}},
};

constexpr MenuItem kViewerWindowMenu[] = {
    {kCmdNextViewer, {}, {}},
    {kCmdPreviousViewer, {}, {}},
    {kCmdTileViewers, {}, {}},
    {kCmdBackToMain, {}, {}},
    kSeparator,
    {kCmdAlwaysOnTop, {}, {}},
};

constexpr MenuItem kViewerMenu[] = {
    {kCmdNone, "ファイル(&F)", kViewerFileMenu},
    {kCmdNone, "編集(&E)", kViewerEditMenu},
    {kCmdNone, "表示(&V)", kViewerViewMenu},
    {kCmdNone, "ウインドウ(&W)", kViewerWindowMenu},
};

constexpr MenuItem kSlideShowMenu[] = {
    {kCmdCloseViewer, {}, {}},       kSeparator,
    {kCmdFirstPicture, {}, {}},      {kCmdPreviousPicture, {}, {}},
    {kCmdSequentialDrawing, {}, {}}, {kCmdNextPicture, {}, {}},
    {kCmdLastPicture, {}, {}},       kSeparator,
    {kCmdViewOptions, {}, {}},
};

// One entry: ways to open it first, then the clipboard, the file
// operations, what belongs to this one picture, and reloading it.
constexpr int kGridEntryMenu[] = {
    kCmdOpenViewer, kCmdFullScreen,   kCmdRunAssociated,                  // open
    kCmdNone,                                                             // ----
    kCmdEditCopy,   kCmdEditCut,                                          // clipboard
    kCmdNone,                                                             // ----
    kCmdCopyFiles,  kCmdMoveFiles,    kCmdRename,        kCmdDeleteFiles, // files
    kCmdNone,                                                             // ----
    kCmdNote,       kCmdSaveInFormat, kCmdWallpaper,     kCmdPrint,       // this picture
    kCmdNone,                                                             // ----
    kCmdReload,
};

// Several entries: what makes sense for all of them at once.
constexpr int kGridSelectionMenu[] = {
    kCmdOpenViewer,                                                     // open each
    kCmdNone,                                                           // ----
    kCmdEditCopy,     kCmdEditCut,                                      // clipboard
    kCmdNone,                                                           // ----
    kCmdCopyFiles,    kCmdMoveFiles, kCmdSerialRename, kCmdDeleteFiles, // files
    kCmdNone,                                                           // ----
    kCmdSaveInFormat, kCmdPrint,
};

} // namespace

std::span<const CommandInfo> commandTable(CommandScope scope) {
    switch (scope) {
    case CommandScope::Viewer:
        return kViewerCommands;
    case CommandScope::SlideShow:
        return kSlideShowCommands;
    case CommandScope::MainWindow:
        break;
    }
    return kMainCommands;
}

const CommandInfo* findCommand(int id, CommandScope scope) {
    const auto table = commandTable(scope);
    const auto found =
        std::find_if(table.begin(), table.end(), [id](const CommandInfo& c) { return c.id == id; });
    return found == table.end() ? nullptr : &*found;
}

std::string_view commandText(int id, CommandScope scope) {
    if (const CommandInfo* info = findCommand(id, scope); info && !info->text.empty())
        return info->text;
    if (const CommandInfo* info = findCommand(id, CommandScope::MainWindow))
        return info->text;
    return {};
}

int commandForKey(std::string_view key, CommandScope scope) {
    for (const CommandInfo& command : commandTable(scope)) {
        for (std::string_view k : command.keyList()) {
            if (k == key)
                return command.id;
        }
    }
    return kCmdNone;
}

std::span<const MenuItem> mainMenuLayout() {
    return kMainMenu;
}

std::span<const MenuItem> viewerMenuLayout() {
    return kViewerMenu;
}

std::span<const MenuItem> slideShowMenuLayout() {
    return kSlideShowMenu;
}

std::span<const int> gridEntryMenu() {
    return kGridEntryMenu;
}

std::span<const int> gridSelectionMenu() {
    return kGridSelectionMenu;
}

} // namespace vemra
