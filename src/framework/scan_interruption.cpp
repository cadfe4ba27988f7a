#include "framework/scan_interruption.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vemra {

namespace {

bool stopsTheScan(int key) {
    switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return true;
    default:
        return false;
    }
}

} // namespace

ScanInterruption::ScanInterruption() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

ScanInterruption::~ScanInterruption() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    for (auto& [receiver, event] : m_kept) {
        // The queue takes ownership of posted events.
        if (receiver)
            QCoreApplication::postEvent(receiver, event.release());
    }
}

bool ScanInterruption::check() {
    if (!m_interrupted) {
        m_checking = true;
        QCoreApplication::processEvents();
        m_checking = false;
    }
    return m_interrupted;
}

void ScanInterruption::keep(QObject* receiver, const QEvent& event) {
    if (m_kept.size() < kMaxKept)
        m_kept.emplace_back(receiver, std::unique_ptr<QEvent>(event.clone()));
}

bool ScanInterruption::eventFilter(QObject* watched, QEvent* event) {
    if (!m_checking)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so that no shortcut runs a command in the middle of the
        // scan; the key press itself comes next and is judged below.
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (stopsTheScan(static_cast<const QKeyEvent*>(event)->key())) {
            m_interrupted = true;
            keep(watched, *event);
        }
        return true; // any other key press is dropped
    case QEvent::MouseButtonPress: {
        const Qt::MouseButton button = static_cast<const QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton)
            m_interrupted = true;
        keep(watched, *event);
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        keep(watched, *event);
        return true;
    case QEvent::MouseMove:
        return true; // the next move tells where the pointer is
    default:
        return false;
    }
}

} // namespace vemra
