#include "framework/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace vemra {

WaitCursor::WaitCursor(Qt::CursorShape shape) {
    // Without a GUI (the batch tool, plain tests) there is no cursor.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
        m_shown = true;
    }
}

WaitCursor::~WaitCursor() {
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace vemra
