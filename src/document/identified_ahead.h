#pragma once

#include "imaging/decoder.h"

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace vemra {

// The decoders found for a run of items asked together ahead of a walk,
// handed out as the walk reaches each item. A plug-in host answers many
// items in one exchange; the walk still takes them one at a time.
class IdentifiedAhead {
public:
    // Whether `index` is the next item answered; if not, the walk asks a
    // new run starting at it.
    bool holds(std::size_t index) const {
        return m_next < m_items.size() && m_items[m_next].first == index;
    }
    // Forgets what is held (a new run is about to be asked, or the answers
    // no longer stand).
    void restart() {
        m_items.clear();
        m_next = 0;
    }
    // Adds `index` to the run being asked; its answer comes with answer().
    void ask(std::size_t index) { m_items.emplace_back(index, kNoDecoder); }
    // The answers, in the order the items were asked (missing ones: none).
    void answer(std::span<const DecoderId> found) {
        for (std::size_t k = 0; k < m_items.size() && k < found.size(); ++k)
            m_items[k].second = found[k];
    }
    // The answer for `index` once it is held; kNoDecoder otherwise.
    DecoderId take(std::size_t index) {
        return holds(index) ? m_items[m_next++].second : kNoDecoder;
    }

private:
    std::vector<std::pair<std::size_t, DecoderId>> m_items;
    std::size_t m_next = 0;
};

} // namespace vemra
