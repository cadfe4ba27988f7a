#include "framework/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace vemra {
namespace {

Qt::CursorShape overrideShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::CustomCursor;
}

TEST(WaitCursor, ShownWhileItLivesAndNestedOnesPutBackTheirPredecessor) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        WaitCursor outer;
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);
        {
            WaitCursor inner(Qt::BusyCursor);
            EXPECT_EQ(overrideShape(), Qt::BusyCursor);
        }
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace vemra
