#include "framework/idle_driver.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

#include <utility>

namespace vemra {

namespace {

IdleDriver* g_current = nullptr;

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

} // namespace

IdleDriver::IdleDriver(QObject* parent) : QObject(parent) {
    setClock(nullptr);
    g_current = this;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleDriver::runBatch);
    }
}

IdleDriver::~IdleDriver() {
    if (g_current == this)
        g_current = nullptr;
}

IdleDriver* IdleDriver::current() {
    return g_current;
}

void IdleDriver::setHandler(Handler handler) {
    m_handler = std::move(handler);
    m_resting = false;
    m_count = 0;
}

void IdleDriver::setClock(Clock clock) {
    m_clock = clock ? std::move(clock) : Clock(&std::chrono::steady_clock::now);
}

bool IdleDriver::inputPending() const {
    if (m_inputArrived)
        return true;
    return m_inBatch && m_clock() - m_batchStart >= m_budget;
}

void IdleDriver::wake() {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

bool IdleDriver::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event->type()))
        m_inputArrived = true;
    return QObject::eventFilter(watched, event);
}

void IdleDriver::runBatch() {
    // Work inside the handler may run a nested event loop (a progress
    // window, a message box); its idle time is not a new batch.
    if (m_inBatch)
        return;
    if (m_resting || m_inputArrived)
        m_count = 0;
    m_resting = false;
    m_inputArrived = false;
    if (m_count == 0)
        emit idleStarted();
    const Handler handler = m_handler; // the handler may replace itself
    if (!handler) {
        m_resting = true;
        return;
    }
    m_inBatch = true;
    m_batchStart = m_clock();
    bool more = true;
    while (more && !inputPending())
        more = handler(m_count++);
    m_inBatch = false;
    if (!more) {
        m_resting = true;
        return;
    }
    // More is wanted: keep the loop from sleeping so that, once the waiting
    // events are handled, the next batch comes.
    wake();
}

bool idleInputPending() {
    const IdleDriver* driver = IdleDriver::current();
    return driver && driver->inputPending();
}

} // namespace vemra
