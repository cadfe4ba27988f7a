#include "document/display_filter_form.h"

#include "platform/field_list.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <functional>
#include <limits>

namespace vemra {
namespace {

constexpr std::string_view kSection = "Filter";

std::string numberedKey(std::string_view stem, std::size_t number) {
    std::string key(stem);
    key += std::to_string(number);
    return key;
}

std::vector<std::string> readHistory(SettingsStore& store, std::string_view stem) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < DisplayFilterForm::kHistorySize; ++i) {
        std::string text = store.getText(kSection, numberedKey(stem, i));
        if (!text.empty())
            items.push_back(std::move(text));
    }
    return items;
}

void writeHistory(SettingsStore& store, std::string_view stem,
                  const std::vector<std::string>& items) {
    for (std::size_t i = 0; i < DisplayFilterForm::kHistorySize; ++i)
        store.putText(kSection, numberedKey(stem, i), i < items.size() ? items[i] : std::string());
}

// The stored day of a time value, or today when none was stored (0) or the
// value is beyond any calendar.
QDate storedDay(SettingsStore& store, std::string_view key) {
    const std::int64_t seconds = store.getInt64(kSection, key, 0);
    if (seconds != 0) {
        const QDate day = QDateTime::fromSecsSinceEpoch(seconds).date();
        if (day.isValid())
            return day;
    }
    return QDate::currentDate();
}

int clampedUnit(int unit) {
    return std::clamp(unit, 0, static_cast<int>(DisplayFilterForm::kUnits.size()) - 1);
}

// The byte count of a size text in `unit` (1,024 to the power of the unit),
// saturating instead of overflowing.
std::int64_t bytesOf(std::string_view text, int unit) {
    std::int64_t value = toInt64(text);
    for (int i = 0; i < clampedUnit(unit); ++i) {
        if (__builtin_mul_overflow(value, std::int64_t{1024}, &value))
            return text.find('-') != std::string_view::npos
                       ? std::numeric_limits<std::int64_t>::min()
                       : std::numeric_limits<std::int64_t>::max();
    }
    return value;
}

std::int64_t dayStart(const QDate& day) {
    return day.isValid() ? day.startOfDay().toSecsSinceEpoch() : 0;
}

std::int64_t dayEnd(const QDate& day) {
    // The last millisecond of the day; file times have whole seconds, so its
    // second includes the day's last second.
    return day.isValid() ? day.endOfDay().toSecsSinceEpoch() : DocumentOptions::kLatestFileTime;
}

// Masks are typed by hand and match ignoring case, so "*.JPG" and "*.jpg"
// are one history item.
bool sameMask(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                        Qt::CaseInsensitive) == 0;
}

// `text` first in `items` (an equal item removed), at most kHistorySize.
template <typename Equal>
void moveToTop(std::vector<std::string>& items, const std::string& text, Equal equal) {
    std::erase_if(items, [&](const std::string& item) { return equal(item, text); });
    items.insert(items.begin(), text);
    if (items.size() > DisplayFilterForm::kHistorySize)
        items.resize(DisplayFilterForm::kHistorySize);
}

} // namespace

DisplayFilterForm DisplayFilterForm::load(SettingsStore& store, const DocumentOptions& options) {
    DisplayFilterForm form;
    form.useMask = options.filterFileName;
    form.maskText = options.pathMask;
    form.masks = readHistory(store, "Filter");
    form.dateOn = options.filterFileDate;
    form.dateFrom = storedDay(store, "DateBegin");
    form.dateTo = storedDay(store, "DateEnd");
    form.sizeOn = options.filterFileSize;
    form.sizeBeginItems = readHistory(store, "SizeBegin");
    form.sizeEndItems = readHistory(store, "SizeEnd");
    form.sizeBeginText = store.getText(kSection, "SizeBegin0");
    form.sizeEndText = store.getText(kSection, "SizeEnd0");
    form.unitBegin = clampedUnit(store.getInt(kSection, "UnitBegin", 0));
    form.unitEnd = clampedUnit(store.getInt(kSection, "UnitEnd", 0));
    return form;
}

DisplayFilter DisplayFilterForm::filter() const {
    DisplayFilter f;
    f.useMask = useMask;
    f.mask = useMask && !maskText.empty() ? maskText : std::string("*.*");
    f.dateOn = dateOn;
    f.dateFrom = dayStart(dateFrom);
    f.dateTo = dayEnd(dateTo);
    f.sizeOn = sizeOn;
    f.sizeMinimum = bytesOf(sizeBeginText, unitBegin);
    f.sizeMaximum = bytesOf(sizeEndText, unitEnd);
    return f;
}

DisplayFilterForm::Check DisplayFilterForm::check() const {
    const DisplayFilter f = filter();
    if (f.dateOn && f.dateTo < f.dateFrom)
        return Check::DateRangeInverted;
    if (f.sizeOn && f.sizeMaximum < f.sizeMinimum)
        return Check::SizeRangeInverted;
    return Check::Accepted;
}

std::optional<DisplayFilter> DisplayFilterForm::accept(SettingsStore& store) {
    if (check() != Check::Accepted)
        return std::nullopt;
    // An empty text would only push a real mask out of the history.
    if (!maskText.empty())
        moveToTop(masks, maskText, sameMask);
    // The first size items are what the next start reads as the present
    // minimum and maximum, so the sizes in use go there, typed or chosen.
    moveToTop(sizeBeginItems, sizeBeginText, std::equal_to<std::string_view>());
    moveToTop(sizeEndItems, sizeEndText, std::equal_to<std::string_view>());
    const DisplayFilter result = filter();
    maskText = result.mask;
    save(store);
    return result;
}

DisplayFilter DisplayFilterForm::release(SettingsStore& store) {
    useMask = false;
    dateOn = false;
    sizeOn = false;
    maskText = "*.*";
    save(store);
    return filter();
}

void DisplayFilterForm::save(SettingsStore& store) const {
    const DisplayFilter f = filter();
    SettingsStore::Batch batch(store);
    writeHistory(store, "Filter", masks);
    store.putInt64(kSection, "DateBegin", f.dateFrom);
    store.putInt64(kSection, "DateEnd", f.dateTo);
    writeHistory(store, "SizeBegin", sizeBeginItems);
    writeHistory(store, "SizeEnd", sizeEndItems);
    store.putInt(kSection, "UnitBegin", clampedUnit(unitBegin));
    store.putInt(kSection, "UnitEnd", clampedUnit(unitEnd));
    store.putInt(kSection, "FileSize", sizeOn ? 1 : 0);
    store.putInt(kSection, "FileName", useMask ? 1 : 0);
    store.putInt(kSection, "FileDate", dateOn ? 1 : 0);
}

} // namespace vemra
