#include "views/progress_window_requests.h"

#include "framework/progress_window.h"

#include <algorithm>

namespace vemra {

ProgressWindowRequests::ProgressWindowRequests(QWidget* owner) : m_owner(owner) {}

ProgressWindowRequests::~ProgressWindowRequests() = default;

bool ProgressWindowRequests::show(std::string_view title) {
    if (!m_window)
        m_window = std::make_unique<ProgressWindow>(m_owner, title);
    else
        m_window->setTitle(title);
    m_window->setRange(0, 100);
    m_window->setPosition(0);
    m_window->clearCancel();
    m_window->show();
    return cancelled();
}

bool ProgressWindowRequests::setText(std::string_view line) {
    if (!m_window)
        return false;
    m_window->setText(line);
    return cancelled();
}

bool ProgressWindowRequests::advance(int steps) {
    if (!m_window)
        return false;
    if (steps == 0)
        m_window->stepIt();
    else
        m_window->offsetPosition(steps);
    return cancelled();
}

bool ProgressWindowRequests::setPosition(int position) {
    if (!m_window)
        return false;
    m_window->setPosition(position);
    return cancelled();
}

bool ProgressWindowRequests::setRange(int upper) {
    if (!m_window)
        return false;
    m_window->setRange(0, std::max(0, upper));
    return cancelled();
}

void ProgressWindowRequests::close() {
    m_window.reset();
}

bool ProgressWindowRequests::cancelled() {
    return m_window->checkCancelButton();
}

} // namespace vemra
