#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace vemra {

// The update hints a document sends to its views. Each hint is a type of its
// own with exactly the payload it promises, so a sender cannot attach the
// wrong data and a view reads the fields by name. The numbers are fixed:
// every view, the command tables and the tests name them, so they are never
// renumbered.
namespace hint {
inline constexpr int kRedrawAll = 0;
inline constexpr int kListEmptied = 1;
inline constexpr int kScanFinished = 2;
inline constexpr int kOpenEntry = 3;
inline constexpr int kCloseViewer = 4;
inline constexpr int kStopPainting = 5;
inline constexpr int kSelectionChanged = 6;
inline constexpr int kContinuePainting = 7;
inline constexpr int kAllSelection = 8;
inline constexpr int kFirstVisible = 9;
inline constexpr int kRedrawEntry = 10;
inline constexpr int kEntryAccepted = 11;
inline constexpr int kSelectFolder = 12;
inline constexpr int kFocusChanged = 13;
inline constexpr int kOpenEntryByKeys = 14;
inline constexpr int kRefreshDrives = 15;
inline constexpr int kStartupFinished = 16;
inline constexpr int kEntryRemoved = 17;
inline constexpr int kCreateFolder = 18;
inline constexpr int kRenameFolder = 19;
inline constexpr int kDeleteFolder = 20;
inline constexpr int kFolderStep = 21;

// The whole list changed; `folder` is the shown folder (empty: not said).
struct RedrawAll {
    static constexpr int kNumber = kRedrawAll;
    std::string folder;
    friend bool operator==(const RedrawAll&, const RedrawAll&) = default;
};
// A scan begins with an empty list; `folder` is the folder shown until now.
struct ListEmptied {
    static constexpr int kNumber = kListEmptied;
    std::string folder;
    friend bool operator==(const ListEmptied&, const ListEmptied&) = default;
};
// A scan ended; `folder` is the folder now shown.
struct ScanFinished {
    static constexpr int kNumber = kScanFinished;
    std::string folder;
    friend bool operator==(const ScanFinished&, const ScanFinished&) = default;
};
// Open the entry at a display position in the viewer.
struct OpenEntry {
    static constexpr int kNumber = kOpenEntry;
    int position = -1;
    friend bool operator==(const OpenEntry&, const OpenEntry&) = default;
};
struct CloseViewer {
    static constexpr int kNumber = kCloseViewer;
    friend bool operator==(const CloseViewer&, const CloseViewer&) = default;
};
// Idle painting stops until ContinuePainting.
struct StopPainting {
    static constexpr int kNumber = kStopPainting;
    friend bool operator==(const StopPainting&, const StopPainting&) = default;
};
struct SelectionChanged {
    static constexpr int kNumber = kSelectionChanged;
    bool selected = false;
    int position = -1;
    friend bool operator==(const SelectionChanged&, const SelectionChanged&) = default;
};
struct ContinuePainting {
    static constexpr int kNumber = kContinuePainting;
    friend bool operator==(const ContinuePainting&, const ContinuePainting&) = default;
};
// The selection of many entries changed at once.
struct AllSelection {
    static constexpr int kNumber = kAllSelection;
    friend bool operator==(const AllSelection&, const AllSelection&) = default;
};
// The sender's first visible entry, for views that scroll along.
struct FirstVisible {
    static constexpr int kNumber = kFirstVisible;
    int position = -1;
    friend bool operator==(const FirstVisible&, const FirstVisible&) = default;
};
struct RedrawEntry {
    static constexpr int kNumber = kRedrawEntry;
    int position = -1;
    friend bool operator==(const RedrawEntry&, const RedrawEntry&) = default;
};
// A scan took an entry in at this display position.
struct EntryAccepted {
    static constexpr int kNumber = kEntryAccepted;
    int position = -1;
    friend bool operator==(const EntryAccepted&, const EntryAccepted&) = default;
};
// The folder tree selects `path`: a folder, or a file within the folder.
struct SelectFolder {
    static constexpr int kNumber = kSelectFolder;
    std::string path;
    friend bool operator==(const SelectFolder&, const SelectFolder&) = default;
};
struct FocusChanged {
    static constexpr int kNumber = kFocusChanged;
    bool focused = false;
    int position = -1;
    friend bool operator==(const FocusChanged&, const FocusChanged&) = default;
};
// Open the entry as a double-click or Enter does.
struct OpenEntryByKeys {
    static constexpr int kNumber = kOpenEntryByKeys;
    int position = -1;
    friend bool operator==(const OpenEntryByKeys&, const OpenEntryByKeys&) = default;
};
struct RefreshDrives {
    static constexpr int kNumber = kRefreshDrives;
    friend bool operator==(const RefreshDrives&, const RefreshDrives&) = default;
};
// The application finished starting; views may show the first folder.
struct StartupFinished {
    static constexpr int kNumber = kStartupFinished;
    friend bool operator==(const StartupFinished&, const StartupFinished&) = default;
};
// The entry at this display position left the list.
struct EntryRemoved {
    static constexpr int kNumber = kEntryRemoved;
    int position = -1;
    friend bool operator==(const EntryRemoved&, const EntryRemoved&) = default;
};
struct CreateFolder {
    static constexpr int kNumber = kCreateFolder;
    friend bool operator==(const CreateFolder&, const CreateFolder&) = default;
};
struct RenameFolder {
    static constexpr int kNumber = kRenameFolder;
    friend bool operator==(const RenameFolder&, const RenameFolder&) = default;
};
struct DeleteFolder {
    static constexpr int kNumber = kDeleteFolder;
    friend bool operator==(const DeleteFolder&, const DeleteFolder&) = default;
};
// The folder tree moves its selection one step; the values are the fixed
// numbers of the four directions.
enum class Direction { Up = 0, Down = 1, Left = 2, Right = 3 };
struct FolderStep {
    static constexpr int kNumber = kFolderStep;
    Direction direction = Direction::Up;
    friend bool operator==(const FolderStep&, const FolderStep&) = default;
};
} // namespace hint

// One update hint with its payload. The alternatives stand in the order of
// their numbers, so a hint's number is its index (checked below).
using UpdateHint =
    std::variant<hint::RedrawAll, hint::ListEmptied, hint::ScanFinished, hint::OpenEntry,
                 hint::CloseViewer, hint::StopPainting, hint::SelectionChanged,
                 hint::ContinuePainting, hint::AllSelection, hint::FirstVisible, hint::RedrawEntry,
                 hint::EntryAccepted, hint::SelectFolder, hint::FocusChanged, hint::OpenEntryByKeys,
                 hint::RefreshDrives, hint::StartupFinished, hint::EntryRemoved, hint::CreateFolder,
                 hint::RenameFolder, hint::DeleteFolder, hint::FolderStep>;

namespace hint {
namespace detail {
template <std::size_t... Index> constexpr bool numbersAreIndices(std::index_sequence<Index...>) {
    return ((std::variant_alternative_t<Index, UpdateHint>::kNumber == static_cast<int>(Index)) &&
            ...);
}

template <class Handler, class Variant> struct TakesSomeHint;
template <class Handler, class... Hint>
struct TakesSomeHint<Handler, std::variant<Hint...>>
    : std::bool_constant<(std::is_invocable_v<Handler&, const Hint&> || ...)> {};

template <class... Handler> struct Handlers : Handler... { using Handler::operator()...; };
template <class... Handler> Handlers(Handler...) -> Handlers<Handler...>;
} // namespace detail

static_assert(
    detail::numbersAreIndices(std::make_index_sequence<std::variant_size_v<UpdateHint>>{}),
    "every hint must stand at the index of its number");

// Matches any of the listed hints: a handler for several hints at once takes
// `const hint::OneOf<hint::RedrawAll, hint::EntryRemoved> auto&`. (Qt's moc
// reads this header through the views' headers and cannot parse concepts;
// it needs nothing from here.)
#ifndef Q_MOC_RUN
template <class Hint, class... Listed>
concept OneOf = (std::is_same_v<Hint, Listed> || ...);
#endif
} // namespace hint

// The fixed number of `update`.
inline int hintNumber(const UpdateHint& update) {
    return static_cast<int>(update.index());
}

// Calls the one handler that takes `update`'s type, or none: hints a view
// has no handler for are ignored. A handler that takes no hint type at all
// (a misspelt or stale one) does not compile.
template <class... Handler> void visitHint(const UpdateHint& update, Handler&&... handlers) {
    static_assert(
        (hint::detail::TakesSomeHint<std::remove_cvref_t<Handler>, UpdateHint>::value && ...),
        "a handler takes none of the hints");
    std::visit(hint::detail::Handlers{std::forward<Handler>(handlers)..., [](const auto&) {}},
               update);
}

} // namespace vemra
