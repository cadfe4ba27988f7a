#pragma once

#include "document/sort_key.h"
#include "settings/colour_value.h"

#include <array>
#include <string_view>

namespace vemra {

class SettingsStore;

// What the details list keeps in section "LstView" besides its sort history
// (SortState) and its pane size (FrameSettings lays out the splitter).
struct DetailsListOptions {
    static constexpr int kMissingWidth = 50;
    static constexpr int kMaxWidth = 10000;

    // Widths in pixels by column number.
    std::array<int, kSortColumnCount> widths{150, 60, 70, 120, 90, 80, 100, 90, 60, 70};
    // The column number shown at each place, left to right.
    std::array<int, kSortColumnCount> order{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ColourValue background = 0xFFFFFF;
    ColourValue text = 0x000000;

    // "Column": a width missing from the list (or empty) is 50 pixels;
    // numbers beyond the tenth are ignored. Negative or huge widths are
    // clamped so a damaged file cannot make a column unusable.
    static std::array<int, kSortColumnCount> parseWidths(std::string_view text);
    // "Index": a missing place shows its own column. A list that does not
    // name every column once (a damaged file) gives the natural order, since
    // a column shown twice would hide another.
    static std::array<int, kSortColumnCount> parseOrder(std::string_view text);

    static DetailsListOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;

    friend bool operator==(const DetailsListOptions&, const DetailsListOptions&) = default;
};

} // namespace vemra
