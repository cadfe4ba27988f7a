#pragma once

namespace vemra {

// Every numbered command of the program. The numbers are shared by menus,
// tool bars, accelerators, context menus and stored settings ("IDViewer",
// "SpaceCommandID" hold them), so they are fixed and never renumbered. The
// numbers in the 57600-59400 block are those the classic framework gave its
// standard commands (print, clipboard, exit, about, bars, panes).
enum CommandId : int {
    kCmdNone = 0,

    // --- main window: window stepping of the folder tree (Alt+arrows)
    kCmdFolderStepUp = 128,
    kCmdFolderStepDown = 129,
    kCmdFolderStepLeft = 130,
    kCmdFolderStepRight = 131,

    // --- details list styles
    kCmdListLargeIcons = 110,
    kCmdListSmallIcons = 111,
    kCmdListList = 112,
    kCmdListDetails = 113,

    // --- viewer windows (frame)
    kCmdNextViewer = 125,
    kCmdTileViewers = 126,
    kCmdBackToMain = 127,

    // --- plug-in-set bar: the selection of its list changed
    kCmdPluginSetList = 1120,

    // --- ranges (first and last id of each)
    kCmdHistoryFirst = 7000, // 7000 + i: history entries before the current one
    kCmdHistoryForwardFirst = 7101,
    kCmdHistoryLast = 7199,
    kCmdDivideFirst = 8000, // 8000 + N: divide the grid into N columns (0: remembered size)
    kCmdDivideLast = 8099,
    kCmdRememberSize = 8100,
    kCmdRememberedSizeFirst = 8101, // 8101 + n: the remembered "ThumbsSize%d" n
    kCmdRememberedSizeLast = 8199,
    kCmdQuickAccessFirst = 9000, // 9000 + n: quick-access entry n
    kCmdQuickAccessLast = 9009,
    kCmdExternalAppFirst = 20000, // 20000 + i: external application i
    kCmdExternalAppLast = 20099,

    // --- file
    kCmdCopyFiles = 10005,
    kCmdMoveFiles = 10006,
    kCmdDeleteFiles = 10007,
    kCmdRename = 10009,
    kCmdSerialRename = 10126,
    kCmdSaveInFormat = 10112,
    kCmdExtract = 10085,
    kCmdPrint = 57607,
    kCmdAppExit = 57665,

    // --- edit
    kCmdEditCopy = 57634,
    kCmdEditCut = 57635,
    kCmdEditPaste = 57637,
    kCmdNote = 10168,
    kCmdSaveThumbnails = 10074,
    kCmdSelectAll = 32793,

    // --- view
    kCmdLargerThumbnails = 32771,
    kCmdSmallerThumbnails = 32772,
    kCmdNextPage = 32773,
    kCmdPreviousPage = 32774,
    kCmdRemakeThumbnails = 10071,
    kCmdRefresh = 10072,
    kCmdDisplayFilter = 10113,
    kCmdViewToolBar = 59392,
    kCmdViewStatusBar = 59393,
    kCmdViewPluginSetBar = 10162,

    // --- sorting
    kCmdSortNone = 10130,
    kCmdSortName = 10131,
    kCmdSortExtension = 10132,
    kCmdSortSize = 10133,
    kCmdSortDate = 10134,
    kCmdSortWidth = 10135,
    kCmdSortHeight = 10136,
    kCmdSortDepth = 10137,
    kCmdSortArchive = 10138,
    kCmdSortAscending = 10139,
    kCmdSortDescending = 10140,
    kCmdSortArea = 10164,
    kCmdResort = 10165,

    // --- folder
    kCmdNewFolder = 10188,
    kCmdRenameFolder = 10187,
    kCmdDeleteFolder = 10189,
    kCmdTreeNewFolder = 10092, // the same three from the tree's context menu
    kCmdTreeDeleteFolder = 10111,
    kCmdTreeRenameFolder = 10200,

    // --- tools
    kCmdEditList = 10156,
    kCmdRegisterApps = 10053,
    kCmdThumbnailMaintenance = 10217,
    kCmdHtmlCatalog = 10010,
    kCmdContactSheet = 10195,
    kCmdReportFile = 10170,

    // --- options
    kCmdBehaviourOptions = 10159,
    kCmdPluginSettings = 10160,
    kCmdThumbnailOptions = 10161,
    kCmdArchive = 32779,
    kCmdDownScan = 10110,
    kCmdSynchronous = 10048,

    // --- help
    kCmdHelp = 10119,
    kCmdAppAbout = 57664,

    // --- further keys and tool-bar buttons of the main window
    kCmdOpenViewer = 32782,
    kCmdOpenCurrent = 10091,
    kCmdNextPane = 57680,
    kCmdPreviousPane = 57681,
    kCmdHistoryBack = 10124,
    kCmdHistoryForward = 10125,

    // --- thumbnail grid
    kCmdFullScreen = 10207,
    kCmdReload = 32798,
    kCmdWallpaper = 10042,
    kCmdRunAssociated = 10078,
    // The title item of a context menu (file name or selection summary):
    // nothing handles it, so it shows disabled.
    kCmdMenuTitle = 0xFFFF,

    // --- picture viewer (view)
    kCmdFirstPicture = 32787,
    kCmdPreviousPicture = 32788,
    kCmdNextPicture = 32789,
    kCmdLastPicture = 32790,
    kCmdSequentialDrawing = 32796,
    kCmdZoomIn = 10100,
    kCmdZoomOut = 10101,
    kCmdRotateRight = 10044,
    kCmdRotateLeft = 10118,
    kCmdFlipVertical = 10211,
    kCmdFlipHorizontal = 10212,
    kCmdFitOriginal = 10143, // "FitSize" 0
    kCmdFitPicture = 10144,  // "FitSize" 1
    kCmdFitStretch = 10145,  // "FitSize" 2
    kCmdFitAspect = 10146,   // "FitSize" 3
    kCmdScalePlain = 10147,  // "ScaleMode" 0
    kCmdScaleNearest = 10148,
    kCmdScaleLinear = 10149,
    kCmdScaleAverage = 10163,
    kCmdScaleAuto = 10166, // "ScaleMode" 10
    kCmdRepeat = 10158,
    kCmdViewerFullScreen = 10208,
    kCmdResetZoom = 10209,
    kCmdViewOptions = 10002,
    kCmdToggleSelected = 10076,
    kCmdViewerCopy = 10104,
    kCmdViewerMove = 10105,
    kCmdViewerDelete = 10077,
    kCmdViewerSave = 10107,
    kCmdViewerClipboardCopy = 10106,
    kCmdViewerWallpaper = 10123,
    kCmdUnsharpMask = 10169,
    kCmdReduceColours = 10210,

    // --- picture viewer (frame) and slide show
    kCmdCloseViewer = 10167,
    kCmdCloseAllViewers = 10196,
    kCmdPreviousViewer = 10197,
    kCmdAlwaysOnTop = 10194,
};

// True when `id` lies in the range [first, last].
constexpr bool commandInRange(int id, int first, int last) {
    return id >= first && id <= last;
}

} // namespace vemra
