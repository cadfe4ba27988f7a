#include "framework/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(ProgressWindow, DefaultsAndTitles) {
    ProgressWindow plain(nullptr);
    EXPECT_EQ(plain.windowTitle(), QString("実行中"));
    EXPECT_EQ(plain.cancelButton()->text(), QString("中止"));
    EXPECT_EQ(plain.lower(), 0);
    EXPECT_EQ(plain.upper(), 100);
    EXPECT_EQ(plain.step(), 10);
    EXPECT_EQ(plain.percentText(), QString("0%"));
    EXPECT_FALSE(plain.isModal());

    ProgressWindow titled(nullptr, "ファイル削除中...");
    EXPECT_EQ(titled.windowTitle(), QString("ファイル削除中..."));
    titled.setTitle("書庫の解凍");
    EXPECT_EQ(titled.windowTitle(), QString("書庫の解凍"));
    titled.setText("書庫ファイルから解凍しています...");
    EXPECT_EQ(titled.text(), QString("書庫ファイルから解凍しています..."));
}

TEST(ProgressWindow, StepsAndPercentages) {
    ProgressWindow progress(nullptr);
    progress.stepIt();
    progress.stepIt();
    progress.stepIt();
    EXPECT_EQ(progress.position(), 30);
    EXPECT_EQ(progress.percentText(), QString("30%"));
    for (int i = 0; i < 20; ++i)
        progress.stepIt();
    EXPECT_EQ(progress.position(), 100) << "stays at the end instead of starting over";
    EXPECT_EQ(progress.percentText(), QString("100%"));

    progress.setRange(0, 7);
    progress.setStep(1);
    progress.setPosition(3);
    EXPECT_EQ(progress.percentText(), QString("42%"));
    progress.offsetPosition(-10);
    EXPECT_EQ(progress.position(), 0);

    progress.setRange(10, 20);
    progress.setPosition(15);
    EXPECT_EQ(progress.percent(), 50);

    // An empty range (no pictures) neither divides by zero nor goes back.
    progress.setRange(0, 0);
    EXPECT_EQ(progress.percent(), 100);
    progress.setRange(5, 5);
    progress.setPosition(0);
    EXPECT_EQ(progress.position(), 5);

    // Ranges as wide as int itself.
    progress.setRange(0, 2'000'000'000);
    progress.setPosition(1'000'000'000);
    EXPECT_EQ(progress.percent(), 50);
    progress.setRange(-2'000'000'000, 2'000'000'000);
    progress.setPosition(0);
    EXPECT_EQ(progress.percent(), 50);
}

TEST(ProgressWindow, CancelIsReadAndClearedByTheLoop) {
    ProgressWindow progress(nullptr, "HTMLの作成中");
    progress.show();
    EXPECT_FALSE(progress.checkCancelButton());
    QTest::mouseClick(progress.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(progress.cancelRequested());
    EXPECT_TRUE(progress.checkCancelButton());
    EXPECT_FALSE(progress.checkCancelButton()) << "cleared by the first answer";

    // Escape means 中止 as well, and the window stays.
    QTest::keyClick(&progress, Qt::Key_Escape);
    EXPECT_TRUE(progress.isVisible());
    EXPECT_TRUE(progress.checkCancelButton());
    progress.requestCancel();
    progress.clearCancel();
    EXPECT_FALSE(progress.cancelRequested());
}

TEST(ProgressWindow, EveryUpdateHandlesPendingEvents) {
    ProgressWindow progress(nullptr);
    int handled = 0;
    const auto queue = [&] {
        QMetaObject::invokeMethod(
            &progress, [&] { ++handled; }, Qt::QueuedConnection);
    };
    queue();
    progress.setText("a");
    EXPECT_EQ(handled, 1);
    queue();
    progress.stepIt();
    EXPECT_EQ(handled, 2);
    queue();
    progress.setPosition(50);
    EXPECT_EQ(handled, 3);
    queue();
    progress.checkCancelButton();
    EXPECT_EQ(handled, 4);
}

TEST(ProgressWindow, KeepsInputFromTheOwnerWhileShown) {
    QMainWindow owner;
    owner.show();
    ProgressWindow progress(&owner, "ファイル保存中...");
    EXPECT_EQ(progress.windowModality(), Qt::WindowModal);
    progress.show();
    EXPECT_FALSE(progress.isModal() && progress.windowModality() == Qt::ApplicationModal);
    progress.hide();

    ProgressWindow free(&owner);
    free.setBlocksOwner(false);
    EXPECT_EQ(free.windowModality(), Qt::NonModal);
}

} // namespace
} // namespace vemra
