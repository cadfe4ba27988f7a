#include "framework/window_message.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <memory>

namespace vemra {

WindowMessageEvent::WindowMessageEvent(int message, std::intptr_t first, std::intptr_t second)
    : QEvent(eventType()), m_message(message), m_first(first), m_second(second) {}

QEvent::Type WindowMessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool deliverWindowMessage(QEvent* event, WindowMessageHandler& handler) {
    if (!event || event->type() != WindowMessageEvent::eventType())
        return false;
    auto* message = static_cast<WindowMessageEvent*>(event);
    message->setResult(
        handler.onWindowMessage(message->message(), message->first(), message->second()));
    return true;
}

void postWindowMessage(QObject* receiver, int message, std::intptr_t first, std::intptr_t second) {
    if (!receiver)
        return;
    // The event queue takes ownership of posted events.
    auto event = std::make_unique<WindowMessageEvent>(message, first, second);
    QCoreApplication::postEvent(receiver, event.release());
}

std::intptr_t sendWindowMessage(QObject* receiver, int message, std::intptr_t first,
                                std::intptr_t second) {
    // A receiver on another thread cannot be called from here; such callers
    // post instead.
    if (!receiver || receiver->thread() != QThread::currentThread())
        return 0;
    WindowMessageEvent event(message, first, second);
    QCoreApplication::sendEvent(receiver, &event);
    return event.result();
}

} // namespace vemra
