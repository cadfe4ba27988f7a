#include "framework/change_burst.h"

#include <algorithm>

namespace vemra {

bool ChangeBurst::notice(std::int64_t now, int entryCount) {
    if (!m_active) {
        m_active = true;
        m_first = now;
        m_latest = now;
        return true;
    }
    const std::int64_t window =
        std::max<std::int64_t>(std::int64_t{kMsPerEntry} * std::max(entryCount, 0), kQuietMs);
    m_latest = now - m_first <= window ? now : m_first;
    return false;
}

bool ChangeBurst::tick(std::int64_t now) {
    if (!m_active || now - m_latest < kQuietMs) {
        return false;
    }
    m_active = false;
    return true;
}

} // namespace vemra
