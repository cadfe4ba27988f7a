#include "document/file_operations.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/history_combo.h"
#include "framework/message_box.h"
#include "views/destination_dialog.h"
#include "views/details_list.h"
#include "views/dialog_transfer_questions.h"
#include "views/main_window.h"
#include "views/note_dialog.h"
#include "views/same_name_dialog.h"
#include "views/thumbnail_grid.h"

#include "views_test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

class FileDialogsTest : public ::testing::Test {
protected:
    FileDialogsTest() : loader(*f.registry) {
        folder = f.dir.file("pics");
        outside = f.dir.file("outside");
        fs::create_directories(folder);
        fs::create_directories(outside);
        f.document->setPictureLoader(&loader);
    }
    ~FileDialogsTest() override { QGuiApplication::clipboard()->clear(); }
    void open() {
        f.document->openFolder(folder, nullptr, false);
        QApplication::processEvents();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (int i = 0; i < f.document->displayedCount(); ++i)
            result.push_back(f.document->entryAt(i)->fileName);
        std::sort(result.begin(), result.end());
        return result;
    }
    void selectAll() {
        for (int i = 0; i < f.document->displayedCount(); ++i)
            f.document->setSelected(i, PictureSource::kSelected);
    }
    // Drags `data` into a view's viewport and drops it there, as a window
    // system would (a drop goes only to the widget that accepted the enter).
    Qt::DropAction drop(QWidget* viewport, const QMimeData& data, Qt::KeyboardModifiers keys) {
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, &data,
                              Qt::LeftButton, keys);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDropEvent event(QPointF(20, 20), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                         keys);
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }

    test::DocumentFixture f;
    RegistryPictureLoader loader;
    std::string folder;
    std::string outside;
};

TEST_F(FileDialogsTest, DropsCopyOrMoveByKeysAndDaDMoveAndPasteMovesCutFilesWithNotes) {
    test::makePictures(outside, 4);
    open();
    ThumbnailGrid grid(*f.document);
    grid.resize(300, 200);
    grid.show();
    QApplication::processEvents();
    struct Case {
        std::string name;
        Qt::KeyboardModifiers keys;
        bool dadMove;
        Qt::DropAction expected;
    };
    const Case cases[] = {
        {"pic0000.png", Qt::NoModifier, false, Qt::CopyAction},
        {"pic0001.png", Qt::ShiftModifier, false, Qt::MoveAction},
        {"pic0002.png", Qt::NoModifier, true, Qt::MoveAction},
        {"pic0003.png", Qt::ControlModifier, true, Qt::CopyAction},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.document->options().dadMove = c.dadMove;
        QMimeData data;
        data.setData(mime::kUriList, uriListBytes({outside + "/" + c.name}));
        EXPECT_EQ(drop(grid.viewport(), data, c.keys), c.expected);
        EXPECT_TRUE(fs::exists(folder + "/" + c.name));
        EXPECT_EQ(fs::exists(outside + "/" + c.name), c.expected == Qt::CopyAction);
    }
    EXPECT_EQ(names().size(), 4u);
    // The details list above the grid takes drops as the grid does.
    {
        std::ofstream(outside + "/listed.png") << "x";
        DetailsList list(*f.document, f.store);
        list.setGrid(&grid);
        QMimeData data;
        data.setData(mime::kUriList, uriListBytes({outside + "/listed.png"}));
        f.document->options().dadMove = true;
        EXPECT_EQ(drop(list.table()->viewport(), data, Qt::NoModifier), Qt::MoveAction);
        EXPECT_TRUE(fs::exists(folder + "/listed.png"));
        EXPECT_FALSE(fs::exists(outside + "/listed.png"));
        f.document->options().dadMove = false;
    }
    EXPECT_EQ(names().size(), 5u);
    // Text alone is no file list: refused.
    QMimeData text;
    text.setText("hello");
    EXPECT_EQ(drop(grid.viewport(), text, Qt::NoModifier), Qt::IgnoreAction);

    // Cut in one folder, pasted here: moved, with the note it carried.
    std::ofstream(outside + "/cut.png") << "x";
    auto clip = std::make_unique<QMimeData>();
    clip->setData(mime::kGnomeCopiedFiles,
                  gnomeCopiedFilesBytes(TransferKind::Cut, {outside + "/cut.png"}));
    const std::vector<std::byte> notes = noteClipboardBytes({"切り取りのメモ"});
    clip->setData(mime::kNotes, QByteArray(reinterpret_cast<const char*>(notes.data()),
                                           static_cast<qsizetype>(notes.size())));
    QGuiApplication::clipboard()->setMimeData(clip.release());
    ASSERT_TRUE(grid.commandState(kCmdEditPaste).value_or(CommandState{}).enabled);
    grid.onCommand(kCmdEditPaste);
    EXPECT_FALSE(fs::exists(outside + "/cut.png"));
    EXPECT_EQ(noteOfFile(folder + "/cut.png", {}), "切り取りのメモ");
    EXPECT_EQ(names().size(), 6u);
}

TEST_F(FileDialogsTest, TheSameNameDialogSwitchesToRenameWhileTheNameIsEdited) {
    test::makePictures(folder, 1, 120, 80);
    test::makePictures(outside, 1, 60, 90);
    const std::string source = outside + "/pic0000.png";
    const std::string target = folder + "/pic0000.png";
    std::ofstream(folder + "/pic0000-2.png") << "taken";

    struct Preselection {
        SameNameDialog::Mode mode;
        int stored;
        SameNameAction expected;
    };
    for (const Preselection& p : std::initializer_list<Preselection>{
             {SameNameDialog::Mode::Transfer, 3, SameNameAction::NewerOnly},
             {SameNameDialog::Mode::Transfer, 5, SameNameAction::Larger},
             {SameNameDialog::Mode::Transfer, 9, SameNameAction::NewerOnly},
             {SameNameDialog::Mode::Overwrite, 0, SameNameAction::NewerOnly},
             {SameNameDialog::Mode::Overwrite, 3, SameNameAction::Overwrite},
             {SameNameDialog::Mode::Overwrite, 4, SameNameAction::AutoNumber}})
        EXPECT_EQ(SameNameDialog::preselection(p.mode, p.stored), p.expected) << p.stored;

    f.store.putInt("Filer", "SameOption", 2);
    DialogTransferQuestions questions(nullptr, *f.document, &f.store);
    bool shot = false;
    questions.setSameNameRunner([&](SameNameDialog& dialog) {
        EXPECT_EQ(dialog.action(), SameNameAction::Skip);
        EXPECT_EQ(dialog.nameEdit()->text().toStdString(), target);
        dialog.actionButton(SameNameAction::AutoNumber)->click();
        EXPECT_EQ(dialog.nameEdit()->text().toStdString(), folder + "/pic0000-3.png");
        dialog.actionButton(SameNameAction::Overwrite)->click();
        EXPECT_EQ(dialog.nameEdit()->text().toStdString(), target);
        // Editing the name renames, for this file alone.
        dialog.applyToAllBox()->setChecked(true);
        QTest::keyClicks(dialog.nameEdit(), "x");
        EXPECT_EQ(dialog.action(), SameNameAction::Rename);
        EXPECT_FALSE(dialog.applyToAllBox()->isEnabled());
        EXPECT_FALSE(dialog.applyToAll());
        // Escape puts the name back, and the earlier action with it.
        QTest::keyClick(dialog.nameEdit(), Qt::Key_Escape);
        EXPECT_EQ(dialog.action(), SameNameAction::Overwrite);
        EXPECT_TRUE(dialog.applyToAllBox()->isEnabled());
        dialog.nameEdit()->setFocus();
        dialog.nameEdit()->selectAll();
        QTest::keyClicks(dialog.nameEdit(), QString::fromStdString(folder + "/renamed.png"));
        dialog.show();
        QApplication::processEvents();
        test::saveScreenshot(dialog.grab().toImage(), "same-name-dialog.png");
        shot = true;
        return true;
    });
    const SameNameAnswer answer = questions.sameName(source, target, TransferOptions{});
    EXPECT_TRUE(shot);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.action, SameNameAction::Rename);
    EXPECT_EQ(answer.target, folder + "/renamed.png");
    EXPECT_EQ(f.store.getInt("Filer", "SameOption", -1), 3);
}

TEST_F(FileDialogsTest, NotesAreAskedInDisplayOrderAndCancelKeepsWhatWasEntered) {
    test::makePictures(folder, 3);
    open();
    selectAll();
    std::vector<int> positions{2, 0, 1};
    int shown = 0;
    const int stored = runNoteCommand(nullptr, *f.document, positions, nullptr, [&](NoteDialog& d) {
        ++shown;
        if (shown == 2)
            return false;
        d.editor()->setPlainText(QStringLiteral("一行目\n二行目"));
        d.show();
        QApplication::processEvents();
        test::saveScreenshot(d.grab().toImage(), "note-dialog.png");
        return true;
    });
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(noteOfFile(folder + "/pic0000.png", {}), "一行目\r\n二行目");
    EXPECT_EQ(f.document->entryAt(0)->note, "一行目\r\n二行目");
    EXPECT_EQ(noteOfFile(folder + "/pic0001.png", {}), "");
    EXPECT_EQ(noteOfFile(folder + "/pic0002.png", {}), "");
}

TEST_F(FileDialogsTest, TheMainWindowOffersTheFileCommandsForASelectionAndDeletes) {
    test::makePictures(folder, 2);
    MainWindow frame(*f.document, f.registry.get(), f.store);
    open();
    frame.updateCommandStates();
    for (const int id : {kCmdCopyFiles, kCmdMoveFiles, kCmdDeleteFiles, kCmdExtract, kCmdNote})
        EXPECT_FALSE(frame.action(id)->isEnabled()) << id;
    f.document->setSelected(1, PictureSource::kSelected);
    frame.updateCommandStates();
    for (const int id : {kCmdCopyFiles, kCmdMoveFiles, kCmdDeleteFiles, kCmdExtract, kCmdNote})
        EXPECT_TRUE(frame.action(id)->isEnabled()) << id;
    f.document->options().trashCan = false;
    std::vector<std::string> asked;
    ScopedMessageBoxResponder yes([&](MessageKind, MessageButtons, std::string_view text) {
        asked.emplace_back(text);
        return MessageAnswer::Yes;
    });
    ASSERT_TRUE(frame.runCommand(kCmdDeleteFiles));
    EXPECT_EQ(asked, std::vector<std::string>{"選択データを削除してもよろしいですか？"});
    EXPECT_EQ(names(), std::vector<std::string>{"pic0000.png"});
    EXPECT_FALSE(fs::exists(folder + "/pic0001.png"));
}

TEST_F(FileDialogsTest, TheCopyDialogKeepsItsHistoryAndOptionAndTakesRelativeFolders) {
    f.store.putText("Filer", "Folder0", outside);
    f.store.putInt("Filer", "CopyOption", 7); // not 0 or 1: all files
    CopyDialog dialog(nullptr, f.store, folder);
    EXPECT_FALSE(dialog.onlyExisting());
    EXPECT_EQ(dialog.folderCombo()->currentText().toStdString(), outside);
    dialog.show();
    QApplication::processEvents();
    test::saveScreenshot(dialog.grab().toImage(), "copy-dialog.png");
    dialog.folderCombo()->setEditText(QStringLiteral("sub/../copies"));
    dialog.accept();
    EXPECT_EQ(dialog.destination(), folder + "/copies");
    EXPECT_EQ(f.store.getText("Filer", "Folder0", ""), "sub/../copies");
    EXPECT_EQ(f.store.getText("Filer", "Folder1", ""), outside);
    EXPECT_EQ(f.store.getInt("Filer", "CopyOption", -1), 0);
}

} // namespace
} // namespace vemra
