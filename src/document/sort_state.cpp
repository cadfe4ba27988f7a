#include "document/sort_state.h"

namespace vemra {
namespace {

// The plain column each column command sorts.
int commandColumn(int id) {
    switch (id) {
    case SortState::kCmdSortByName:
        return kSortByName;
    case SortState::kCmdSortByExt:
        return kSortByExtension;
    case SortState::kCmdSortBySize:
        return kSortBySize;
    case SortState::kCmdSortByDate:
        return kSortByDate;
    case SortState::kCmdSortByArchive:
        return kSortByArchive;
    default:
        return -1;
    }
}

// The ascending pixel code of a pixel command, 0 for other commands.
int commandPixelCode(int id) {
    switch (id) {
    case SortState::kCmdSortByWidth:
        return 1;
    case SortState::kCmdSortByHeight:
        return 3;
    case SortState::kCmdSortByColours:
        return 5;
    case SortState::kCmdSortByArea:
        return 7;
    default:
        return 0;
    }
}

} // namespace

SortState::SortState(SortHistory history)
    : m_current(history.newest()), m_history(std::move(history)) {}

SortState SortState::load(SettingsStore& store) {
    return SortState(SortHistory::load(store));
}

void SortState::save(SettingsStore& store) const {
    m_history.save(store);
}

SortKey SortState::sort(int column, int request) {
    if (sortCodeCount(column) == 0)
        return m_current;
    if (column != m_current.column)
        m_current = {column, 0};
    m_current.code = sortCodeForRequest(column, m_current.code, request);
    m_history.push(m_current);
    return m_current;
}

std::vector<SortKey> SortState::reapply() {
    if (!m_history.empty())
        m_current = m_history.newest();
    const auto keys = m_history.keys();
    return {keys.begin(), keys.end()};
}

std::string_view SortState::heading(int column) const {
    return sortHeading(column, column == m_current.column ? m_current.code : 0);
}

bool SortState::handlesCommand(int id) {
    return id == kCmdSortNone || commandColumn(id) >= 0 || commandPixelCode(id) != 0 ||
           id == kCmdAscending || id == kCmdDescending || id == kCmdResort;
}

bool SortState::commandChecked(int id) const {
    const int code = m_current.code;
    if (id == kCmdSortNone)
        return code == 0;
    if (id == kCmdAscending)
        return code % 2 == 1;
    if (id == kCmdDescending)
        return code != 0 && code % 2 == 0;
    if (const int column = commandColumn(id); column >= 0)
        return m_current.column == column && code != 0;
    if (const int pixel = commandPixelCode(id); pixel != 0)
        return m_current.column == kSortByPixels && (code == pixel || code == pixel + 1);
    return false;
}

int SortState::carriedRequest() const {
    return m_current.code == 0 ? 1 : m_current.code;
}

int SortState::pixelRequest(int ascending) const {
    const int code = m_current.code;
    return code == 0 || code % 2 == 1 ? ascending : ascending + 1;
}

std::vector<SortKey> SortState::applyCommand(int id) {
    // Requests are worked out from the present code before sort() may reset
    // it for a new column, so a change of column keeps the direction.
    const int code = m_current.code;
    if (id == kCmdSortNone)
        return {sort(kSortByName, 0)};
    if (const int column = commandColumn(id); column >= 0)
        return {sort(column, carriedRequest())};
    if (const int pixel = commandPixelCode(id); pixel != 0)
        return {sort(kSortByPixels, pixelRequest(pixel))};
    if (id == kCmdAscending)
        return {sort(m_current.column, (code - 1) / 2 * 2 + 1)};
    if (id == kCmdDescending)
        return {sort(m_current.column, (code - 1) / 2 * 2 + 2)};
    if (id == kCmdResort) {
        sort(m_current.column, code);
        return reapply();
    }
    return {};
}

} // namespace vemra
