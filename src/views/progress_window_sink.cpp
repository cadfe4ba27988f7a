#include "views/progress_window_sink.h"

#include "framework/progress_window.h"

#include <algorithm>

namespace vemra {

ProgressWindowSink::ProgressWindowSink(QWidget* owner) : m_owner(owner) {}

ProgressWindowSink::~ProgressWindowSink() = default;

void ProgressWindowSink::begin(std::string_view caption, std::string_view message, int total) {
    // begin() may come again with the real total: the window stays.
    if (!m_window) {
        m_window = std::make_unique<ProgressWindow>(m_owner, caption);
        m_window->show();
    } else {
        m_window->setTitle(caption);
    }
    m_window->setRange(0, std::max(total, 1));
    m_window->setStep(1);
    m_window->setPosition(0);
    m_window->setText(message);
}

void ProgressWindowSink::setMessage(std::string_view message) {
    if (m_window) {
        m_window->setText(message);
    }
}

void ProgressWindowSink::advance() {
    if (m_window) {
        m_window->stepIt();
    }
}

bool ProgressWindowSink::cancelRequested() {
    return m_window && m_window->checkCancelButton();
}

void ProgressWindowSink::end() {
    m_window.reset();
}

} // namespace vemra
