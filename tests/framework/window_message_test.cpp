#include "framework/window_message.h"

#include "core_application.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <tuple>
#include <vector>

namespace vemra {
namespace {

using Message = std::tuple<int, std::intptr_t, std::intptr_t>;

class Receiver : public QObject, public WindowMessageHandler {
public:
    std::vector<Message> received;
    std::vector<QThread*> threads;

    std::intptr_t onWindowMessage(int message, std::intptr_t first, std::intptr_t second) override {
        received.emplace_back(message, first, second);
        threads.push_back(QThread::currentThread());
        return message == 2039 ? first + 1 : 0;
    }

protected:
    bool event(QEvent* e) override { return deliverWindowMessage(e, *this) || QObject::event(e); }
};

class WindowMessageTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureCoreApplication(); }
};

TEST_F(WindowMessageTest, PostedMessagesWaitForTheEventLoopInOrder) {
    Receiver receiver;
    postWindowMessage(&receiver, 2043, 3, 0);
    postWindowMessage(&receiver, 2044, 3, 57);
    EXPECT_TRUE(receiver.received.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.received, (std::vector<Message>{{2043, 3, 0}, {2044, 3, 57}}));
}

TEST_F(WindowMessageTest, SentMessagesAreHandledAtOnceWithTheAnswer) {
    Receiver receiver;
    EXPECT_EQ(sendWindowMessage(&receiver, 2039, 41, 0), 42);
    EXPECT_EQ(receiver.received, (std::vector<Message>{{2039, 41, 0}}));
    EXPECT_EQ(sendWindowMessage(&receiver, 2043, -1, std::intptr_t{1} << 40), 0);
    EXPECT_EQ(std::get<2>(receiver.received.back()), std::intptr_t{1} << 40);
}

TEST_F(WindowMessageTest, ReceiversThatTakeNoMessagesAndNullAreHarmless) {
    QObject plain;
    EXPECT_EQ(sendWindowMessage(&plain, 2039, 1, 2), 0);
    postWindowMessage(&plain, 2039, 1, 2);
    EXPECT_EQ(sendWindowMessage(nullptr, 2039, 1, 2), 0);
    postWindowMessage(nullptr, 2039, 1, 2);
    QCoreApplication::processEvents();

    // Other events still reach the receiver's own handling.
    Receiver receiver;
    QEvent other(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &other);
    EXPECT_TRUE(receiver.received.empty());
}

TEST_F(WindowMessageTest, MessagesToADestroyedReceiverAreDropped) {
    auto receiver = std::make_unique<Receiver>();
    postWindowMessage(receiver.get(), 2024, 0, 0);
    receiver.reset();
    QCoreApplication::processEvents(); // must not touch the destroyed object
    SUCCEED();
}

TEST_F(WindowMessageTest, MonitorThreadsPostToTheReceiversThread) {
    Receiver receiver;
    std::thread monitor([&] { postWindowMessage(&receiver, 2024, 7, 8); });
    monitor.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(receiver.received, (std::vector<Message>{{2024, 7, 8}}));
    EXPECT_EQ(receiver.threads.front(), QThread::currentThread());

    // Sending from another thread would run the receiver there: refused.
    std::intptr_t answer = -1;
    std::thread sender([&] { answer = sendWindowMessage(&receiver, 2039, 1, 0); });
    sender.join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(receiver.received.size(), 1u);
}

} // namespace
} // namespace vemra
