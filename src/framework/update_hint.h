#pragma once

#include <string>
#include <variant>

namespace vemra {

// The numbered update hints a document sends to its views. The numbers are
// shared with every view and with the window messages that carry them, so
// they are plain integers, never renumbered.
namespace hint {
inline constexpr int kRedrawAll = 0;        // data: folder text or none
inline constexpr int kListEmptied = 1;      // data: folder text or none; a scan begins
inline constexpr int kScanFinished = 2;     // data: folder text or none
inline constexpr int kOpenEntry = 3;        // data: display position
inline constexpr int kCloseViewer = 4;      // data: none
inline constexpr int kStopPainting = 5;     // data: none
inline constexpr int kSelectionChanged = 6; // data: FlagAtPosition (selected 0/1, position)
inline constexpr int kContinuePainting = 7; // data: none
inline constexpr int kAllSelection = 8;     // data: none
inline constexpr int kFirstVisible = 9;     // data: display position
inline constexpr int kRedrawEntry = 10;     // data: display position
inline constexpr int kEntryAccepted = 11;   // data: display position
inline constexpr int kSelectFolder = 12;    // data: folder text (or a file path)
inline constexpr int kFocusChanged = 13;    // data: FlagAtPosition (focused 0/1, position)
inline constexpr int kOpenEntryByKeys = 14; // data: display position
inline constexpr int kRefreshDrives = 15;   // data: none
inline constexpr int kStartupFinished = 16; // data: none
inline constexpr int kEntryRemoved = 17;    // data: display position
inline constexpr int kCreateFolder = 18;    // data: none
inline constexpr int kRenameFolder = 19;    // data: none
inline constexpr int kDeleteFolder = 20;    // data: none
inline constexpr int kFolderStep = 21;      // data: direction (0 up, 1 down, 2 left, 3 right)
} // namespace hint

// "A flag and a display position", the pair hints 6 and 13 carry.
struct FlagAtPosition {
    int flag = 0;
    int position = -1;
    friend bool operator==(const FlagAtPosition&, const FlagAtPosition&) = default;
};

// What travels with a hint: nothing, a text (folder or path), a display
// position, or a flag with a position. Views read the alternative their hint
// number promises and treat anything else as "none".
using HintData = std::variant<std::monostate, std::string, int, FlagAtPosition>;

// Small readers that never throw on the wrong alternative.
inline const std::string* hintText(const HintData& data) {
    return std::get_if<std::string>(&data);
}
inline int hintPosition(const HintData& data) {
    const int* p = std::get_if<int>(&data);
    return p ? *p : -1;
}
inline FlagAtPosition hintFlagAtPosition(const HintData& data) {
    const FlagAtPosition* p = std::get_if<FlagAtPosition>(&data);
    return p ? *p : FlagAtPosition{};
}

} // namespace vemra
