#include "framework/idle_driver.h"

#include "core_application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace vemra {
namespace {

using namespace std::chrono_literals;

class IdleDriverTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureCoreApplication(); }

    // Runs the event loop for `time`, calling `atEnd` from inside it just
    // before it quits.
    void runLoop(std::chrono::milliseconds time, std::function<void()> atEnd = {}) {
        QEventLoop loop;
        QTimer::singleShot(time, &loop, [&] {
            if (atEnd)
                atEnd();
            loop.quit();
        });
        loop.exec();
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
};

TEST_F(IdleDriverTest, RestsAfterNoAndStartsOverAfterAnEvent) {
    IdleDriver driver;
    std::vector<int> calls;
    driver.setHandler([&](int count) {
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
    IdleDriver driver;
    std::vector<int> calls;
    int markerAt = -1;
    bool pendingBefore = true;
    bool pendingAfter = false;
    bool sent = false;
    driver.setHandler([&](int count) {
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
    runLoop(100ms);
    EXPECT_FALSE(pendingBefore);
    EXPECT_TRUE(pendingAfter);
    EXPECT_EQ(markerAt, 3);
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(IdleDriverTest, WithoutInputAShortBatchRunsToTheEnd) {
    IdleDriver driver;
    driver.setBatchBudget(10s); // a slow machine must not end the batch early
    std::vector<int> calls;
    int markerAt = -1;
    driver.setHandler([&](int count) {
        calls.push_back(count);
        if (markerAt < 0 && count == 2) {
            markerAt = 0;
            queueMarker(calls, markerAt);
        }
        return count < 6;
    });
    runLoop(100ms);
    EXPECT_EQ(markerAt, 7);
    // The marker was an event, so after it the driver went round once more.
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(IdleDriverTest, ABatchGivesWayAfterItsTimeBudget) {
    IdleDriver driver;
    driver.setBatchBudget(5ms);
    std::vector<int> calls;
    int markerAt = -1;
    driver.setHandler([&](int count) {
        calls.push_back(count);
        if (markerAt < 0 && count == 0) {
            markerAt = 0;
            queueMarker(calls, markerAt);
        }
        std::this_thread::sleep_for(8ms);
        return count < 3;
    });
    runLoop(150ms);
    EXPECT_EQ(markerAt, 1);
    // Giving way for time alone keeps the count going.
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(IdleDriverTest, NestedEventLoopsInsideTheHandlerDoNotStartABatch) {
    IdleDriver driver;
    int depth = 0;
    int deepest = 0;
    int calls = 0;
    driver.setHandler([&](int count) {
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
    runLoop(100ms);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(calls, 2);
}

TEST_F(IdleDriverTest, WithoutADriverNothingIsPending) {
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
