#pragma once

#include <Qt>

namespace vemra {

// Shows the busy cursor over the whole application while it lives (a scan,
// a decode for the viewer, extracting the members of a drag). Nested ones
// stack; each puts back what was there before it.
class WaitCursor {
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

} // namespace vemra
