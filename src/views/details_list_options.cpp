#include "views/details_list_options.h"

#include "platform/field_list.h"
#include "settings/settings_store.h"

#include <algorithm>

namespace vemra {
namespace {

constexpr std::string_view kSection = "LstView";
// Eleven numbers: the list had one more column once, and files keep it.
constexpr std::string_view kDefaultWidths = "150,60,70,120,90,80,100,90,60,70,100";
constexpr std::string_view kDefaultOrder = "0,1,2,3,4,5,6,7,8,9";

// Field `index` as a number, or nullopt when it is missing or blank.
std::optional<int> numberAt(std::string_view list, std::size_t index) {
    const std::optional<std::string_view> field = fieldAt(list, index);
    if (!field || field->find_first_not_of(" \t") == std::string_view::npos)
        return std::nullopt;
    return toInt(*field);
}

} // namespace

std::array<int, kSortColumnCount> DetailsListOptions::parseWidths(std::string_view text) {
    std::array<int, kSortColumnCount> widths{};
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = std::clamp(numberAt(text, i).value_or(kMissingWidth), 0, kMaxWidth);
    return widths;
}

std::array<int, kSortColumnCount> DetailsListOptions::parseOrder(std::string_view text) {
    std::array<int, kSortColumnCount> order{};
    std::array<bool, kSortColumnCount> seen{};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int column = numberAt(text, i).value_or(static_cast<int>(i));
        if (column < 0 || column >= kSortColumnCount || seen[static_cast<std::size_t>(column)])
            return DetailsListOptions{}.order;
        seen[static_cast<std::size_t>(column)] = true;
        order[i] = column;
    }
    return order;
}

DetailsListOptions DetailsListOptions::load(SettingsStore& store) {
    DetailsListOptions o;
    o.widths = parseWidths(store.getText(kSection, "Column", kDefaultWidths));
    o.order = parseOrder(store.getText(kSection, "Index", kDefaultOrder));
    o.background = colourFromSetting(store.getInt(kSection, "ColorBackground", 0xFFFFFF));
    o.text = colourFromSetting(store.getInt(kSection, "ColorText", 0));
    return o;
}

void DetailsListOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    store.putText(kSection, "Column", formatIntList(widths));
    store.putText(kSection, "Index", formatIntList(order));
    store.putInt(kSection, "ColorBackground", static_cast<int>(background));
    store.putInt(kSection, "ColorText", static_cast<int>(text));
}

} // namespace vemra
