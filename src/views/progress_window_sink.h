#pragma once

#include "document/scan_services.h"

#include <memory>

class QWidget;

namespace vemra {

class ProgressWindow;

// The document's long reads (folder-information files) shown in the
// program's progress window, which opens on begin() and closes on end().
class ProgressWindowSink final : public ProgressSink {
public:
    explicit ProgressWindowSink(QWidget* owner);
    ~ProgressWindowSink() override;

    void begin(std::string_view caption, std::string_view message, int total) override;
    void setMessage(std::string_view message) override;
    void advance() override;
    bool cancelRequested() override;
    void end() override;

    // The open window, or null.
    ProgressWindow* window() const { return m_window.get(); }

private:
    QWidget* m_owner;
    std::unique_ptr<ProgressWindow> m_window;
};

} // namespace vemra
