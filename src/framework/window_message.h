#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

namespace vemra {

// A numbered private window message with its two arguments, as frames,
// views, the document and the folder monitors exchange them (1024, 2024,
// 2026, 2029-2054, ...).
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(int message, std::intptr_t first, std::intptr_t second);

    // The event type registered once for every window message.
    static QEvent::Type eventType();

    int message() const { return m_message; }
    std::intptr_t first() const { return m_first; }
    std::intptr_t second() const { return m_second; }

    // The receiver's answer (only a sent message has a caller to read it).
    std::intptr_t result() const { return m_result; }
    void setResult(std::intptr_t result) { m_result = result; }

private:
    int m_message;
    std::intptr_t m_first;
    std::intptr_t m_second;
    std::intptr_t m_result = 0;
};

// A window that answers numbered messages. Its QObject passes events on
// from event() with deliverWindowMessage:
//
//     bool event(QEvent* e) override {
//         return deliverWindowMessage(e, *this) || QWidget::event(e);
//     }
class WindowMessageHandler {
public:
    virtual ~WindowMessageHandler() = default;
    virtual std::intptr_t onWindowMessage(int message, std::intptr_t first,
                                          std::intptr_t second) = 0;

protected:
    WindowMessageHandler() = default;
    WindowMessageHandler(const WindowMessageHandler&) = default;
    WindowMessageHandler& operator=(const WindowMessageHandler&) = default;
};

// Hands `event` to `handler` when it is a window message (true), else
// leaves it alone (false).
bool deliverWindowMessage(QEvent* event, WindowMessageHandler& handler);

// Queues the message for `receiver`; it is handled after the events before
// it, on the receiver's thread. Safe to call from any thread. A receiver
// destroyed meanwhile never sees it. Nothing happens for a null receiver.
void postWindowMessage(QObject* receiver, int message, std::intptr_t first = 0,
                       std::intptr_t second = 0);

// Handles the message at once, on the calling thread (which must be the
// receiver's), and returns the receiver's answer; 0 for a null receiver or
// one that does not take window messages.
std::intptr_t sendWindowMessage(QObject* receiver, int message, std::intptr_t first = 0,
                                std::intptr_t second = 0);

} // namespace vemra
