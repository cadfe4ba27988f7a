#pragma once

#include "document/display_filter.h"

#include <QDate>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class SettingsStore;

// What the display-filter dialog ("表示フィルタ設定") shows and decides,
// without the widgets: the three switches, the mask text with its history,
// the two days, the two size texts with their histories and units. The
// dialog fills its controls from a loaded form, writes the user's input back
// into it, and calls accept() for "OK" and release() for "解除".
struct DisplayFilterForm {
    static constexpr std::size_t kHistorySize = 10;
    static constexpr std::array<std::string_view, 3> kUnits{"Bytes", "KB", "MB"};

    bool useMask = false;
    std::string maskText = "*.*";
    std::vector<std::string> masks; // "Filter0".."Filter9", newest first
    bool dateOn = false;
    QDate dateFrom; // the whole day from 00:00:00 local time
    QDate dateTo;   // the whole day up to 23:59:59 local time
    bool sizeOn = false;
    std::string sizeBeginText; // decimal, in units of `unitBegin`
    std::string sizeEndText;
    std::vector<std::string> sizeBeginItems; // "SizeBegin0".."SizeBegin9"
    std::vector<std::string> sizeEndItems;   // "SizeEnd0".."SizeEnd9"
    int unitBegin = 0;                       // index into kUnits
    int unitEnd = 0;

    // The form for the document's present filter (switches and mask from
    // `options`, the rest from section "Filter"). A day never stored shows
    // as today.
    static DisplayFilterForm load(SettingsStore& store, const DocumentOptions& options);

    enum class Check {
        Accepted,
        DateRangeInverted, // date filter on, last day before first day
        SizeRangeInverted, // size filter on, maximum below minimum
    };
    // Whether "OK" may close the dialog.
    Check check() const;

    // The filter the form stands for: the mask "*.*" while masks are off or
    // none is given, days widened to whole days, sizes in bytes.
    DisplayFilter filter() const;

    // "OK": when the ranges are in order, puts the mask text at the top of
    // the mask history, writes the settings and gives the filter for the
    // document; otherwise changes nothing and gives nullopt (the dialog
    // stays open).
    std::optional<DisplayFilter> accept(SettingsStore& store);

    // "解除": every switch off, the mask "*.*"; writes the settings and gives
    // the filter.
    DisplayFilter release(SettingsStore& store);

private:
    void save(SettingsStore& store) const;
};

} // namespace vemra
