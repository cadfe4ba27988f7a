#pragma once

#include "framework/update_hint.h"

#include <optional>

namespace vemra {

// The selection changes of one user action, so that the other views are
// told once however many entries it touched: one change as the entry's own
// notice (SelectionChanged with its position), more as one AllSelection.
// Each view then takes the whole selection from the document, which keeps
// a click after selecting 100,000 entries from sending 100,000 notices.
class SelectionTally {
public:
    void add(int position, bool selected) {
        ++m_count;
        m_position = position;
        m_selected = selected;
    }
    void add(const SelectionTally& other) {
        if (other.m_count == 0)
            return;
        m_count += other.m_count;
        m_position = other.m_position;
        m_selected = other.m_selected;
    }
    int count() const { return m_count; }
    // The position of the last change (-1: none).
    int lastPosition() const { return m_position; }
    // The notice for the views, or none when nothing changed.
    std::optional<UpdateHint> notice() const {
        if (m_count == 0)
            return std::nullopt;
        if (m_count == 1)
            return UpdateHint(hint::SelectionChanged{m_selected, m_position});
        return UpdateHint(hint::AllSelection{});
    }

private:
    int m_count = 0;
    int m_position = -1;
    bool m_selected = false;
};

} // namespace vemra
