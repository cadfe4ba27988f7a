#pragma once

#include "framework/progress_requests.h"

#include <memory>

class QWidget;

namespace vemra {

class ProgressWindow;

// Progress requests answered with the program's progress window over
// `owner`, which opens on show() and goes on close().
class ProgressWindowRequests final : public ProgressRequests {
public:
    explicit ProgressWindowRequests(QWidget* owner);
    ~ProgressWindowRequests() override;

    bool show(std::string_view title) override;
    bool setText(std::string_view line) override;
    bool advance(int steps) override;
    bool setPosition(int position) override;
    bool setRange(int upper) override;
    void close() override;

    // The open window, or null.
    ProgressWindow* window() const { return m_window.get(); }

private:
    // Handles the pending events (so the window paints and "中止" works) and
    // answers whether it was pressed.
    bool cancelled();

    QWidget* m_owner;
    std::unique_ptr<ProgressWindow> m_window;
};

} // namespace vemra
