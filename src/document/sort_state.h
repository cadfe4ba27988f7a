#pragma once

#include "document/sort_history.h"
#include "document/sort_key.h"

#include <string_view>
#include <vector>

namespace vemra {

class SettingsStore;

// The ordering the details list shows: the present key, the headings that
// go with it, the history of keys, and the rules of the sort menu. Widget
// free: the list and the main window ask it what a heading click or a menu
// command means and then order their rows by the answer.
class SortState {
public:
    // The sort menu ("ソート方法(&S)").
    static constexpr int kCmdSortNone = 10130;      // "ソートしない(N)"
    static constexpr int kCmdSortByName = 10131;    // "ファイル名(&F)"
    static constexpr int kCmdSortByExt = 10132;     // "拡張子(&E)"
    static constexpr int kCmdSortBySize = 10133;    // "サイズ(&S)"
    static constexpr int kCmdSortByDate = 10134;    // "更新日付(&D)"
    static constexpr int kCmdSortByWidth = 10135;   // "画素　幅(&W)"
    static constexpr int kCmdSortByHeight = 10136;  // "画素　高さ(&H)"
    static constexpr int kCmdSortByColours = 10137; // "画素　色(&C)"
    static constexpr int kCmdSortByArea = 10164;    // "画素　面積(&D)"
    static constexpr int kCmdSortByArchive = 10138; // "書庫ファイル名(&A)"
    static constexpr int kCmdAscending = 10139;     // "昇順(&A)"
    static constexpr int kCmdDescending = 10140;    // "降順(&D)"
    static constexpr int kCmdResort = 10165;        // "再ソート(&R)" (Ctrl+R)

    SortState() = default;
    // The present key starts as the history's newest.
    explicit SortState(SortHistory history);

    // "LstView" "SortHistory" in and out.
    static SortState load(SettingsStore& store);
    void save(SettingsStore& store) const;

    SortKey current() const { return m_current; }
    const SortHistory& history() const { return m_history; }

    // Sorts `column` by `request` (see sortCodeForRequest; a column other
    // than the present one starts from code 0): the key becomes the present
    // one and the newest of the history. Returns it; the caller orders its
    // rows by it. A number that is no column changes nothing.
    SortKey sort(int column, int request);
    // A click on a column heading: the column's next code.
    SortKey headingClicked(int column) { return sort(column, -1); }

    // After a scan: the keys to order the freshly listed rows by, newest
    // first; the newest becomes the present key. Empty: keep the scan order.
    std::vector<SortKey> reapply();

    // The title column `column` shows now.
    std::string_view heading(int column) const;

    // The sort menu: whether `id` is one of its commands, whether it is
    // enabled and whether it carries a check mark.
    static bool handlesCommand(int id);
    bool commandEnabled(int id) const { return handlesCommand(id); }
    bool commandChecked(int id) const;
    // Runs sort command `id`. Returns the keys to order the rows by, newest
    // first: the new key alone, or for re-sorting the whole history (the
    // rows' data may have changed since they were ordered). Empty when `id`
    // is no sort command.
    std::vector<SortKey> applyCommand(int id);

private:
    // The request a column command makes of its column: the present code
    // (ascending when unsorted), so the direction carries over.
    int carriedRequest() const;
    // The pixel code of a command for the pixel column: `ascending` of a
    // pair, kept descending when the present code is.
    int pixelRequest(int ascending) const;

    SortKey m_current;
    SortHistory m_history;
};

} // namespace vemra
