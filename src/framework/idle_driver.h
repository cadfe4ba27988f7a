#pragma once

#include <QObject>

#include <chrono>
#include <functional>

namespace vemra {

// Idle processing: whenever the event loop runs out of events and is about
// to wait, the handler is called with a rising count for as long as it
// answers "more" (true). A batch of calls gives way, and the loop handles
// its events, as soon as key or mouse input arrives or the batch has taken
// its time budget (10 ms unless set); the next batch then goes on with the
// count where it stopped. After an answer of "no" the handler is not called
// again until the loop has handled something new; the count then starts
// over at 0, as it also does after input.
//
// Work done inside the handler asks inputPending() to give way in the
// middle of its own loop. One driver serves the application; it must be
// created on the thread of the application's event loop.
class IdleDriver : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(int count)>;
    // The time the batch budget is measured on; tests step a clock of
    // their own so that the outcome does not depend on the machine's speed.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit IdleDriver(QObject* parent = nullptr);
    ~IdleDriver() override;

    void setHandler(Handler handler);
    void setBatchBudget(std::chrono::milliseconds budget) { m_budget = budget; }
    std::chrono::milliseconds batchBudget() const { return m_budget; }
    // Null restores the steady clock.
    void setClock(Clock clock);

    // True when idle work should give way: input arrived since the batch
    // began, or the batch used up its time budget.
    bool inputPending() const;
    // Only the input part of inputPending().
    bool inputArrived() const { return m_inputArrived; }
    // Marks input as arrived (the event filter does it for real input).
    void noteInput() { m_inputArrived = true; }

    // Asks for a batch soon even though nothing else happens, e.g. after new
    // idle work was queued from a timer while the driver rests.
    void wake();

    // The driver of this application, or null before one exists.
    static IdleDriver* current();

signals:
    // Idle time begins after new events (the count is 0): the moment to
    // bring tool-bar buttons up to date.
    void idleStarted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runBatch();

    Handler m_handler;
    Clock m_clock;
    std::chrono::milliseconds m_budget{10};
    std::chrono::steady_clock::time_point m_batchStart{};
    bool m_inBatch = false;
    bool m_inputArrived = false;
    bool m_resting = false; // the handler answered "no"
    int m_count = 0;
};

// IdleDriver::current()->inputPending(), false without a driver.
bool idleInputPending();

} // namespace vemra
