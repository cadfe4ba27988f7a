#pragma once

#include <cstdint>

namespace vemra {

// When a burst of changes to the shown folder has settled enough to read
// the folder again. A program copying a thousand pictures in causes a
// thousand notices; the folder is read once, half a second after the last,
// not a thousand times.
//
// The first notice of a burst starts it (and the owner's 100 ms timer).
// Later notices move the "latest change" along while they come within the
// burst's window, max(10 ms per entry shown, 500 ms) after its first notice;
// after the window the latest change is pinned to the first one, so an
// endless stream of changes still gets the folder read once the window
// has passed. The timer's tick ends the burst once 500 ms have passed
// since the latest change. Times are milliseconds on any steady clock.
class ChangeBurst {
public:
    static constexpr int kTickMs = 100;
    static constexpr int kQuietMs = 500;
    static constexpr int kMsPerEntry = 10;

    // A notice at `now` with `entryCount` entries shown. True for the first
    // notice of a burst: the owner starts its timer.
    bool notice(std::int64_t now, int entryCount);
    // The timer's tick at `now`. True when the burst is over: the owner
    // stops its timer and reads the folder.
    bool tick(std::int64_t now);
    bool active() const { return m_active; }
    // Forgets the burst (the watched folder changed).
    void reset() { m_active = false; }

    std::int64_t firstChange() const { return m_first; }
    std::int64_t latestChange() const { return m_latest; }

private:
    bool m_active = false;
    std::int64_t m_first = 0;
    std::int64_t m_latest = 0;
};

} // namespace vemra
