#include "framework/scan_interruption.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vemra {
namespace {

// Records the input it receives.
class InputRecorder : public QObject {
public:
    std::vector<std::pair<QEvent::Type, int>> received; // type, key or button

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
            received.emplace_back(e->type(), static_cast<QKeyEvent*>(e)->key());
        else if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease)
            received.emplace_back(e->type(), static_cast<QMouseEvent*>(e)->button());
        return QObject::event(e);
    }
};

void postKey(QObject* to, QEvent::Type type, int key) {
    QCoreApplication::postEvent(to, new QKeyEvent(type, key, Qt::NoModifier));
}

void postButton(QObject* to, QEvent::Type type, Qt::MouseButton button) {
    QCoreApplication::postEvent(
        to, new QMouseEvent(type, QPointF(5, 5), QPointF(5, 5), button, button, Qt::NoModifier));
}

TEST(ScanInterruption, OtherKeysAreDroppedAndTheScanGoesOn) {
    InputRecorder view;
    {
        ScanInterruption scan;
        postKey(&view, QEvent::KeyPress, Qt::Key_A);
        postKey(&view, QEvent::KeyRelease, Qt::Key_A);
        postKey(&view, QEvent::KeyPress, Qt::Key_Space);
        EXPECT_FALSE(scan.check());
        EXPECT_TRUE(view.received.empty()) << "nothing reaches the view during the scan";
    }
    QCoreApplication::processEvents();
    // Only the release was kept; the presses are gone.
    EXPECT_EQ(view.received,
              (std::vector<std::pair<QEvent::Type, int>>{{QEvent::KeyRelease, Qt::Key_A}}));
}

TEST(ScanInterruption, EscapeArrowsAndClicksStopTheScanAndAreHandedBack) {
    for (int key : {Qt::Key_Escape, Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) {
        InputRecorder view;
        {
            ScanInterruption scan;
            EXPECT_FALSE(scan.check());
            postKey(&view, QEvent::KeyPress, key);
            EXPECT_TRUE(scan.check());
            EXPECT_TRUE(scan.interrupted());
            EXPECT_TRUE(view.received.empty());
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(view.received,
                  (std::vector<std::pair<QEvent::Type, int>>{{QEvent::KeyPress, key}}));
    }
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        InputRecorder view;
        {
            ScanInterruption scan;
            postButton(&view, QEvent::MouseButtonPress, button);
            postButton(&view, QEvent::MouseButtonRelease, button);
            EXPECT_TRUE(scan.check());
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(view.received,
                  (std::vector<std::pair<QEvent::Type, int>>{
                      {QEvent::MouseButtonPress, button}, {QEvent::MouseButtonRelease, button}}));
    }
    InputRecorder view;
    ScanInterruption scan;
    postButton(&view, QEvent::MouseButtonPress, Qt::MiddleButton);
    EXPECT_FALSE(scan.check());
}

TEST(ScanInterruption, InputOutsideTheCheckIsLeftAloneAndGoneReceiversAreSkipped) {
    auto view = std::make_unique<InputRecorder>();
    ScanInterruption scan;
    postKey(view.get(), QEvent::KeyPress, Qt::Key_Escape);
    QCoreApplication::processEvents(); // someone else's event handling
    EXPECT_EQ(view->received.size(), 1u);
    EXPECT_FALSE(scan.interrupted());

    {
        ScanInterruption inner;
        postKey(view.get(), QEvent::KeyPress, Qt::Key_Left);
        EXPECT_TRUE(inner.check());
        view.reset(); // the receiver goes before the scan ends
    }
    QCoreApplication::processEvents();
    SUCCEED();
}

TEST(ScanInterruption, NoShortcutRunsDuringTheScan) {
    QWidget window;
    auto* action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    window.addAction(action);
    int triggered = 0;
    QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);

    // The key arrives while events are handled, as it would mid-scan.
    const auto queueCtrlA = [&] {
        QMetaObject::invokeMethod(
            &window, [&] { QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier); },
            Qt::QueuedConnection);
    };
    queueCtrlA();
    QCoreApplication::processEvents();
    ASSERT_EQ(triggered, 1) << "the shortcut works outside a scan";

    ScanInterruption scan;
    queueCtrlA();
    EXPECT_FALSE(scan.check());
    EXPECT_EQ(triggered, 1);
}

} // namespace
} // namespace vemra
