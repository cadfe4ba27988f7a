#pragma once

namespace vemra {

// The numbered private window messages between frames, the document, views
// and the folder monitors. The numbers are fixed; the comments give the two
// arguments.
namespace msg {
inline constexpr int kDriveChanged = 1024;    // drive tree monitor: (drive index, 0)
inline constexpr int kFolderChanged = 2024;   // frame monitor: a change in the shown folder
inline constexpr int kContinuePhase = 2026;   // grid: continue the painting phase (phase, 0)
inline constexpr int kPageUp = 2029;          // grid: scroll one page up (command 32774)
inline constexpr int kPageDown = 2030;        // grid: scroll one page down (command 32773)
inline constexpr int kGridProgress = 2031;    // grid: (progress::Operation, argument) below
inline constexpr int kLargerCells = 2032;     // grid: enlarge the cells one step (command 32771)
inline constexpr int kSmallerCells = 2033;    // grid: shrink the cells one step (command 32772)
inline constexpr int kDivideColumns = 2034;   // grid: (N columns; 0 = remembered size, 0)
inline constexpr int kSetCellSize = 2035;     // grid: (width, height), remembered in the document
inline constexpr int kShowEntry = 2036;       // viewer: (entry, index)
inline constexpr int kIdle = 2039;            // main window: (idle count, 0) -> non-zero for more
inline constexpr int kViewerClosed = 2042;    // grid: (viewer window, 0) closed itself
inline constexpr int kStatusText = 2043;      // main window: (pane, text) into a status pane
inline constexpr int kStatusProgress = 2044;  // main window: (pane, percent); 0 clears
inline constexpr int kRenderDragFiles = 2049; // grid: render the file list of a drag
inline constexpr int kStepViewer = 2052;      // grid: focus the next or previous viewer window
inline constexpr int kTileViewers = 2053;     // grid: tile all viewer windows
inline constexpr int kCloseViewers = 2054;    // grid: (viewer window or 0 for all, 0)

// The operations of kGridProgress, its first argument. The second argument
// is a const char* UTF-8 text (may be null) for kShow and kText, a number
// otherwise. Every operation but kClose answers 1 when "中止" was pressed
// since the last request (and clears that), else 0; without a window they
// answer 0 and change nothing.
namespace progress {
inline constexpr int kShow = 0;     // (kShow, title): opens the window, range 0-100, position 0
inline constexpr int kText = 1;     // (kText, text): the line above the bar
inline constexpr int kAdvance = 2;  // (kAdvance, steps): moves on; 0 moves one step
inline constexpr int kPosition = 3; // (kPosition, position): within the range
inline constexpr int kRange = 4;    // (kRange, upper): the range becomes 0..upper
inline constexpr int kClose = 5;    // (kClose, 0): closes the window
} // namespace progress
} // namespace msg

} // namespace vemra
