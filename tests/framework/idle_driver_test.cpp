#include "framework/idle_driver.h"

#include "core_application.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace vemra {
namespace {

using namespace std::chrono_literals;

// A clock that moves only when the test says: the batch budget then never
// runs out because the machine is slow, and runs out exactly when a test
// means it to.
class ManualClock {
public:
    IdleDriver::Clock clock() {
        return [this] { return m_now; };
    }
    void advance(std::chrono::milliseconds time) { m_now += time; }

private:
    std::chrono::steady_clock::time_point m_now{};
};

class IdleDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureCoreApplication(); // before the driver, which hooks into it
        startDriver();
    }

    // A new driver on the manual clock in place of the previous one.
    void startDriver() {
        m_driver.reset();
        m_driver = std::make_unique<IdleDriver>();
        m_driver->setClock(m_clock.clock());
    }

    // Runs the event loop until `done` holds when the loop is about to wait,
    // which is after the driver's batch. False when that never came; the
    // limit is only there to end a broken test.
    bool runLoopUntil(const std::function<bool()>& done) {
        QEventLoop loop;
        bool reached = false;
        const QMetaObject::Connection check =
            QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                                 if (!reached && done()) {
                                     reached = true;
                                     loop.quit();
                                 }
                             });
        QTimer::singleShot(60s, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(check);
        return reached;
    }

    // Queues a call that records how many idle calls came before it.
    void queueMarker(const std::vector<int>& calls, int& markerAt) {
        QMetaObject::invokeMethod(
            &m_context, [&calls, &markerAt] { markerAt = static_cast<int>(calls.size()); },
            Qt::QueuedConnection);
    }

    void sendKeyPress() {
        // Only the type matters to the driver's input filter.
        QEvent key(QEvent::KeyPress);
        QCoreApplication::sendEvent(&m_context, &key);
    }

    QObject m_context;
    ManualClock m_clock;
    std::unique_ptr<IdleDriver> m_driver;
};

TEST_F(IdleDriverTest, RestsAfterNoAndStartsOverAfterAnEvent) {
    std::vector<int> calls;
    m_driver->setHandler([&](int count) {
        calls.push_back(count);
        return count < 4;
    });
    // Each timer is an event: the driver rests until it comes and then
    // runs one more round from 0. The second timer starts from the first,
    // so the two never come in one go.
    std::vector<int> first;
    std::vector<int> second;
    QEventLoop loop;
    QTimer::singleShot(30ms, &m_context, [&] {
        first = calls;
        QTimer::singleShot(30ms, &m_context, [&] {
            second = calls;
            loop.quit();
        });
    });
    loop.exec();
    ASSERT_GE(first.size(), 5u);
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(first[i], static_cast<int>(i % 5));
    ASSERT_EQ(second.size(), first.size() + 5);
    EXPECT_EQ(std::vector<int>(second.end() - 5, second.end()), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(IdleDriverTest, InputEndsTheBatchAndTheCountStartsOver) {
    std::vector<int> calls;
    int markerAt = -1;
    bool pendingBefore = true;
    bool pendingAfter = false;
    bool sent = false;
    m_driver->setHandler([&](int count) {
        calls.push_back(count);
        if (!sent && count == 2) {
            sent = true;
            queueMarker(calls, markerAt);
            pendingBefore = idleInputPending();
            sendKeyPress();
            pendingAfter = idleInputPending();
        }
        return count < 6;
    });
    ASSERT_TRUE(runLoopUntil([&] { return calls.size() >= 10; }));
    EXPECT_FALSE(pendingBefore);
    EXPECT_TRUE(pendingAfter);
    EXPECT_EQ(markerAt, 3);
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(IdleDriverTest, WithoutInputAShortBatchRunsToTheEnd) {
    std::vector<int> calls;
    int markerAt = -1;
    m_driver->setHandler([&](int count) {
        calls.push_back(count);
        if (markerAt < 0 && count == 2) {
            markerAt = 0;
            queueMarker(calls, markerAt);
        }
        return count < 6;
    });
    ASSERT_TRUE(runLoopUntil([&] { return calls.size() >= 14; }));
    EXPECT_EQ(markerAt, 7);
    // The marker was an event, so after it the driver went round once more.
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(IdleDriverTest, ABatchGivesWayOnceItsTimeBudgetIsUsedUp) {
    struct Case {
        std::chrono::milliseconds budget;
        std::chrono::milliseconds perCall;
        int firstBatch; // calls before the queued marker got its turn
    };
    // A call that outlasts the budget ends its batch; shorter calls share
    // one until together they reach it.
    for (const Case c : {Case{5ms, 8ms, 1}, Case{10ms, 4ms, 3}, Case{10ms, 5ms, 2}}) {
        SCOPED_TRACE(testing::Message()
                     << c.budget.count() << " ms budget, " << c.perCall.count() << " ms a call");
        startDriver();
        m_driver->setBatchBudget(c.budget);
        std::vector<int> calls;
        int markerAt = -1;
        m_driver->setHandler([&](int count) {
            calls.push_back(count);
            if (markerAt < 0 && count == 0) {
                markerAt = 0;
                queueMarker(calls, markerAt);
            }
            m_clock.advance(c.perCall);
            return count < 5;
        });
        ASSERT_TRUE(runLoopUntil([&] { return calls.size() >= 6; }));
        EXPECT_EQ(markerAt, c.firstBatch);
        // Giving way for time alone keeps the count going.
        EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    }
}

TEST_F(IdleDriverTest, NestedEventLoopsInsideTheHandlerDoNotStartABatch) {
    int depth = 0;
    int deepest = 0;
    int calls = 0;
    m_driver->setHandler([&](int count) {
        ++calls;
        ++depth;
        deepest = std::max(deepest, depth);
        if (count == 0) {
            QEventLoop nested; // as a progress window or a message box would
            QTimer::singleShot(20ms, &nested, &QEventLoop::quit);
            nested.exec();
        }
        --depth;
        return count < 1;
    });
    ASSERT_TRUE(runLoopUntil([&] { return calls >= 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(calls, 2);
}

TEST(IdleDriverAlone, WithoutADriverNothingIsPending) {
    test::ensureCoreApplication();
    EXPECT_EQ(IdleDriver::current(), nullptr);
    EXPECT_FALSE(idleInputPending());
    {
        IdleDriver driver;
        EXPECT_EQ(IdleDriver::current(), &driver);
        EXPECT_FALSE(driver.inputPending());
        driver.noteInput();
        EXPECT_TRUE(idleInputPending());
    }
    EXPECT_EQ(IdleDriver::current(), nullptr);
}

} // namespace
} // namespace vemra
