#include "document/external_apps.h"
#include "document/picture_loader.h"
#include "framework/history_combo.h"
#include "framework/message_box.h"
#include "framework/progress_window.h"
#include "views/app_register_dialog.h"
#include "views/rename_dialogs.h"
#include "views/save_format_dialog.h"

#include "views_test_support.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class PictureFileDialogsTest : public ::testing::Test {
protected:
    PictureFileDialogsTest() : loader(*f.registry) {
        folder = f.dir.file("pics");
        fs::create_directories(folder);
        f.document->setPictureLoader(&loader);
    }
    std::vector<int> openAll(int count, int width = 64, int height = 48) {
        test::makePictures(folder, count, width, height);
        f.document->openFolder(folder, nullptr, false);
        std::vector<int> positions;
        for (int i = 0; i < f.document->displayedCount(); ++i)
            positions.push_back(i);
        return positions;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& e : fs::directory_iterator(folder))
            result.push_back(e.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    std::string folder;
    std::vector<std::string> messages;
    ScopedMessageBoxResponder responder{[this](MessageKind, MessageButtons, std::string_view text) {
        messages.emplace_back(text);
        return MessageAnswer::Yes;
    }};
};

TEST_F(PictureFileDialogsTest, RenameAsksPictureByPictureWithSkipAndStop) {
    const std::vector<int> all = openAll(3);
    int shown = 0;
    runRenameCommand(nullptr, *f.document, all, nullptr, [&](RenameDialog& dialog) {
        const bool last = shown == 2;
        EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("skip"))->text(),
                  last ? QStringLiteral("キャンセル") : QStringLiteral("スキップ"));
        EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("stop")) != nullptr, !last);
        if (shown == 0) {
            test::saveScreenshot(dialog.grab().toImage(), "rename_dialog.png");
            // Letter case alone is refused; an empty name is no answer.
            dialog.nameEdit()->setText(QStringLiteral("PIC0000.PNG"));
            dialog.pressOk();
        } else if (shown == 1) {
            dialog.nameEdit()->clear();
            dialog.pressOk();
            EXPECT_FALSE(dialog.result() == QDialog::Accepted);
            dialog.pressSkip();
        } else {
            dialog.nameEdit()->setText(QStringLiteral("last.png"));
            dialog.pressOk();
        }
        ++shown;
    });
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(messages, (std::vector<std::string>{"名前の変更に失敗しました"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"last.png", "pic0000.png", "pic0001.png"}));

    shown = 0;
    runRenameCommand(nullptr, *f.document, all, nullptr, [&](RenameDialog& dialog) {
        ++shown;
        dialog.pressStop();
    });
    EXPECT_EQ(shown, 1);
}

TEST_F(PictureFileDialogsTest, SerialRenameChecksTheFormatAndListsFailures) {
    const std::vector<int> all = openAll(3);
    fs::copy_file(folder + "/pic0000.png", folder + "/S6.png");
    f.document->openFolder(folder, nullptr, false);
    std::vector<int> positions;
    for (int i = 0; i < f.document->displayedCount(); ++i) {
        if (f.document->entryAt(i)->fileName.starts_with("pic"))
            positions.push_back(i);
    }
    std::vector<std::string> report;
    const int renamed = runSerialRenameCommand(
        nullptr, *f.document, f.store, positions, nullptr,
        [&](SerialRenameDialog& dialog) {
            EXPECT_EQ(dialog.helpList()->count(), 34);
            EXPECT_EQ(dialog.helpList()->item(6)->text(), QStringLiteral("ex. AAA#3#.JPG"));
            EXPECT_EQ(dialog.firstBox()->maximum(), 10000);
            dialog.formatBox()->setEditText(QStringLiteral("S#.png"));
            EXPECT_FALSE(dialog.tryAccept());
            dialog.formatBox()->setEditText(QStringLiteral("S##.png"));
            dialog.firstBox()->setValue(5);
            test::saveScreenshot(dialog.grab().toImage(), "serial_rename_dialog.png");
            return dialog.tryAccept();
        },
        [&](const std::vector<std::string>& lines) { report = lines; });
    EXPECT_EQ(renamed, 2);
    EXPECT_EQ(messages, (std::vector<std::string>{"連番ファイル名形式が正しくありません"}));
    EXPECT_EQ(report, (std::vector<std::string>{"pic0001.png -> S6.png :failed rename"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"S5.png", "S6.png", "S7.png", "pic0001.png"}));
    EXPECT_EQ(f.store.getText("Filer", "RenameFormat0"), "S##.png");
    EXPECT_EQ(f.store.getInt("Filer", "RenameFirst#", 0), 5);
}

TEST_F(PictureFileDialogsTest, SaveDialogPreselectsAndTheCommandWritesTheSize) {
    f.store.putInt("FileSave", "RotateAngle", 360);
    {
        SaveFormatDialog dialog(nullptr, f.store, folder);
        EXPECT_EQ(dialog.rotationGroup()->checkedId(), 0);
    }
    f.store.putInt("FileSave", "RotateAngle", 45);
    f.store.putInt("FileSave", "Format", 2);
    const std::vector<int> all = openAll(2, 1000, 750);
    const std::string out = f.dir.file("out");
    const int written =
        runSaveInFormatCommand(nullptr, *f.document, f.store, all, [&](SaveFormatDialog& dialog) {
            EXPECT_EQ(dialog.rotationGroup()->checkedId(), 4);
            EXPECT_EQ(dialog.pages()->currentIndex(), 5); // the PNG page
            // No destination: the dialog stays.
            dialog.accept();
            EXPECT_NE(dialog.result(), QDialog::Accepted);
            dialog.folderCombo()->setEditText(QString::fromStdString(out));
            dialog.rotationGroup()->button(0)->click();
            dialog.sizeGroup()->button(SaveFormatOptions::Factor)->click();
            dialog.factorEdit()->setText(QStringLiteral("0"));
            dialog.accept();
            EXPECT_NE(dialog.result(), QDialog::Accepted);
            dialog.factorEdit()->setText(QStringLiteral("0.5"));
            dialog.formatList()->setCurrentRow(SaveFormatOptions::Bmp);
            test::saveScreenshot(dialog.grab().toImage(), "save_format_dialog.png");
            dialog.accept();
            return dialog.result() == QDialog::Accepted;
        });
    EXPECT_EQ(written, 2);
    EXPECT_EQ(f.store.getInt("FileSave", "RotateAngle", -1), 0);
    EXPECT_EQ(f.store.getText("Filer", "Folder0"), out);
    PictureSource saved;
    saved.folder = out;
    saved.fileName = "pic0001.bmp";
    PictureBuffer picture;
    ASSERT_EQ(loader.loadForThumbnail(saved, 0, 0, picture), 0);
    EXPECT_EQ(picture.width(), 500);
    EXPECT_EQ(picture.height(), 375);
}

TEST_F(PictureFileDialogsTest, RegistrationRefusesEmptyFieldsMovesAndWrites) {
    AppRegisterDialog dialog(nullptr, f.store);
    dialog.titleEdit()->setText(QStringLiteral("First"));
    EXPECT_TRUE(dialog.addEntry());
    EXPECT_FALSE(dialog.tryClose());
    EXPECT_EQ(messages.back(), "コマンドを設定してください");
    dialog.setProgramChooser([] { return std::string("/opt/My Viewer/view"); });
    dialog.chooseProgram();
    EXPECT_EQ(dialog.commandEdit()->text(), QStringLiteral("\"/opt/My Viewer/view\""));
    dialog.insertArgumentMacro(QStringLiteral("$(PicPath)"));
    dialog.titleEdit()->setText(QStringLiteral("Second"));
    EXPECT_TRUE(dialog.addEntry()); // takes the fields as they are
    EXPECT_EQ(dialog.list()->item(0)->text(), QStringLiteral("First"));
    dialog.perFileBox()->setChecked(true);
    dialog.moveEntry(-2);
    EXPECT_EQ(dialog.list()->item(0)->text(), QStringLiteral("Second"));
    EXPECT_EQ(dialog.list()->item(1)->text(), QStringLiteral("First"));
    test::saveScreenshot(dialog.grab().toImage(), "app_register_dialog.png");
    EXPECT_TRUE(dialog.tryClose());
    const std::vector<ExternalApp> apps = readExternalApps(f.store);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].title, "Second");
    EXPECT_TRUE(apps[0].launchPerFile);
    EXPECT_EQ(apps[0].arguments, "$(PicPath)");
    EXPECT_EQ(apps[1].title, "First");
    EXPECT_EQ(apps[1].command, ""); // typed after it was added, into the new one

    AppRegisterDialog again(nullptr, f.store);
    EXPECT_EQ(again.shown(), 1); // the last entry
    again.removeEntry();
    again.removeEntry();
    for (int i = 0; i < kMaxExternalApps; ++i) {
        again.titleEdit()->setText(QString::number(i));
        ASSERT_TRUE(again.addEntry());
    }
    EXPECT_FALSE(again.addEntry());
    EXPECT_EQ(messages.back(), "外部アプリケーションの登録は最大 100個までです");
}

TEST_F(PictureFileDialogsTest, SavingAnswersInputWhileItRunsAndStopsAtCancel) {
    const std::vector<int> all = openAll(16, 1600, 1200);
    const std::string out = f.dir.file("out");
    // A timer stands for the user: it runs while the pictures are converted
    // on the workers, and presses "中止" once four are done.
    using Clock = std::chrono::steady_clock;
    int ticks = 0;
    Clock::time_point last;
    Clock::duration longest{};
    QImage shot;
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (ticks++ > 0)
            longest = std::max(longest, now - last);
        last = now;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<ProgressWindow*>(widget);
            if (progress == nullptr || !progress->isVisible() || progress->position() < 4)
                continue;
            if (shot.isNull())
                shot = progress->grab().toImage();
            progress->cancelButton()->click();
        }
    });
    const int written =
        runSaveInFormatCommand(nullptr, *f.document, f.store, all, [&](SaveFormatDialog& dialog) {
            dialog.folderCombo()->setEditText(QString::fromStdString(out));
            dialog.formatList()->setCurrentRow(SaveFormatOptions::Png);
            dialog.sizeGroup()->button(SaveFormatOptions::KeepSize)->click();
            dialog.accept();
            user.start();
            return dialog.result() == QDialog::Accepted;
        });
    user.stop();
    ASSERT_FALSE(shot.isNull());
    test::saveScreenshot(shot, "save_in_format_progress.png");
    std::printf("input answered every %lld ms at the longest while saving\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
    EXPECT_GE(written, 4);
    EXPECT_LT(written, 16);
    // Only whole files of the pictures before the cancel, under their names.
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(out))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(static_cast<int>(files.size()), written);
    for (int i = 0; i < written; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pic%04d.png", i);
        EXPECT_EQ(files[static_cast<std::size_t>(i)], name);
        PictureSource saved;
        saved.folder = out;
        saved.fileName = name;
        PictureBuffer picture;
        ASSERT_EQ(loader.loadForThumbnail(saved, 0, 0, picture), 0) << name;
        EXPECT_EQ(picture.width(), 1600);
    }
}

} // namespace
} // namespace vemra
