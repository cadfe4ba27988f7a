// The print dialog with its definition page, printing through a QPrinter
// into a PDF, the wallpaper dialog, and the commands of the main window.

#include "views/print_dialog.h"

#include "document/picture_loader.h"
#include "framework/command_id.h"
#include "framework/history_combo.h"
#include "framework/message_box.h"
#include "imaging/bmp_file.h"
#include "views/main_window.h"
#include "views/printing.h"
#include "views/wallpaper_dialog.h"

#include "views_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

TEST(PrintDialog, OffersTheDefinitionFileWithItsHistory) {
    test::DocumentFixture f;
    f.store.putText("Print", "File0", "/defs/two.dps");
    f.store.putText("Print", "File1", "/defs/one.dps");
    QPrinter printer(QPrinter::HighResolution);
    PrintDialog dialog(f.store, printer, "/defs");
    EXPECT_EQ(dialog.fileCombo()->count(), 2);
    EXPECT_EQ(dialog.fileCombo()->currentText(), QStringLiteral("/defs/two.dps"));
    EXPECT_EQ(dialog.definitionPage()->windowTitle(), QStringLiteral("印刷定義ファイル"));
    EXPECT_EQ(dialog.browseButton()->text(), QStringLiteral("参照"));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
    dialog.show();
    test::saveScreenshot(dialog.grab().toImage(), "print_dialog.png");
    dialog.hide();
    test::saveScreenshot(dialog.definitionPage()->grab().toImage(), "print_dialog_definition.png");

    // Accepting moves the chosen file to the top of the ten keys.
    dialog.fileCombo()->setEditText(QStringLiteral("/defs/one.dps"));
    dialog.accept();
    EXPECT_EQ(dialog.definitionFile(), "/defs/one.dps");
    EXPECT_EQ(f.store.getText("Print", "File0", ""), "/defs/one.dps");
    EXPECT_EQ(f.store.getText("Print", "File1", ""), "/defs/two.dps");
    EXPECT_EQ(f.store.getText("Print", "File2", "x"), "");
}

TEST(Printing, PrintsThroughAPrinterAndTellsWhatFails) {
    test::DocumentFixture f;
    std::vector<PrintItem> items(3);
    for (int i = 0; i < 3; ++i) {
        items[static_cast<std::size_t>(i)].entry.fileName = "p" + std::to_string(i) + ".bmp";
        items[static_cast<std::size_t>(i)].picture = test::patternPicture(60 + i, 40, 24);
    }
    const std::string definition = f.dir.file("two.dps");
    std::ofstream(definition) << "P,0,0,PAGEMAX_X,PAGEMAX_Y/2,15\nN\n"
                                 "P,0,PAGEMAX_Y/2,PAGEMAX_X,PAGEMAX_Y,15\n";
    std::vector<std::string> messages;
    const ScopedMessageBoxResponder responder(
        [&](MessageKind, MessageButtons, std::string_view text) {
            messages.emplace_back(text);
            return MessageAnswer::Ok;
        });

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(f.dir.file("out.pdf")));
    PrintJobRequest request;
    request.definitionFile = definition;
    const PrintJobResult result =
        printOnPrinter(nullptr, printer, items, request, nullptr, nullptr);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.pages, 2);
    EXPECT_GT(fs::file_size(f.dir.file("out.pdf")), 1000u);
    EXPECT_TRUE(messages.empty());

    // A file that cannot be made: the job does not start, and says so.
    printer.setOutputFileName(QStringLiteral("/proc/no/such/folder/out.pdf"));
    EXPECT_FALSE(printOnPrinter(nullptr, printer, items, request, nullptr, nullptr).started);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("印刷開始できませんでした\n\n")) << messages[0];
}

TEST(WallpaperDialog, PreviewsAdjustsAndApplies) {
    test::DocumentFixture f;
    f.store.putInt("WallPaper", "Bright", 20);
    f.store.putInt("WallPaper", "Mode", 3);
    const PictureBuffer picture = test::patternPicture(800, 400, 24);
    WallpaperDialog dialog(f.store, picture, QSize(1920, 1080));
    // The preview box keeps the screen's proportions, centred in its place.
    EXPECT_EQ(dialog.previewBox(), QRect(0, 24, 256, 144));
    EXPECT_EQ(dialog.numberField(0)->value(), 20);
    EXPECT_EQ(dialog.placementList()->currentIndex(), 3);
    EXPECT_EQ(dialog.placementList()->count(), 4);

    // A slider writes its number and a number moves its slider.
    dialog.slider(1)->setValue(-120);
    EXPECT_EQ(dialog.numberField(1)->value(), -120);
    dialog.numberField(3)->setValue(55);
    EXPECT_EQ(dialog.slider(3)->value(), 55);
    EXPECT_EQ(dialog.slider(0)->pageStep(), 10);
    EXPECT_EQ(dialog.slider(2)->minimum(), -255);

    // With the preview on, each change redraws it.
    dialog.previewCheck()->setChecked(true);
    const QImage before = dialog.previewImage();
    dialog.numberField(0)->setValue(90);
    EXPECT_NE(dialog.previewImage(), before);
    {
        // The sample sunset as a user sees it, a little brighter.
        const ReadResult sunset = readBmpFile(test::samplesFolder() + "/夕焼け.bmp");
        ASSERT_TRUE(sunset);
        f.store.putInt("WallPaper", "Preview", 1);
        WallpaperDialog shown(f.store, sunset.picture, QSize(1920, 1080));
        shown.adjustSize();
        test::saveScreenshot(shown.grab().toImage(), "wallpaper_dialog.png");
    }
    // Without it, nothing changes until it is on again.
    dialog.previewCheck()->setChecked(false);
    const QImage frozen = dialog.previewImage();
    dialog.numberField(0)->setValue(-90);
    EXPECT_EQ(dialog.previewImage(), frozen);

    // "リセット" zeroes the four levels.
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("リセット"))
            button->click();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dialog.numberField(i)->value(), 0) << i;

    // "実行" stores the choices and writes the file; the dialog stays.
    dialog.numberField(2)->setValue(30);
    dialog.setTarget(f.dir.file("wall"), false);
    EXPECT_EQ(dialog.apply(), 0);
    EXPECT_EQ(f.store.getInt("WallPaper", "Green", 0), 30);
    EXPECT_EQ(f.store.getInt("WallPaper", "Preview", 1), 0);
    const ReadResult written = readBmpFile(f.dir.file("wall/KPZ_WALL.BMP"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written.picture.width(), 1920);
    EXPECT_EQ(written.picture.height(), 960);

    // A file that cannot be written: code -3 in a box.
    std::vector<std::string> messages;
    const ScopedMessageBoxResponder responder(
        [&](MessageKind, MessageButtons, std::string_view text) {
            messages.emplace_back(text);
            return MessageAnswer::Ok;
        });
    dialog.setTarget("/proc/no/such/folder", false);
    EXPECT_EQ(dialog.apply(), -3);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "壁紙の変更に失敗しました.[ErrCode=-3]");
}

TEST(MainWindowOutput, PrintAndWallpaperFollowTheSelection) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    test::makePictures(f.dir.file("pics"), 3);
    MainWindow frame(*f.document, f.registry.get(), f.store);
    f.document->openFolder(f.dir.file("pics"), nullptr, false);
    EXPECT_FALSE(frame.commandState(kCmdPrint)->enabled);
    f.document->setFocus(0);
    EXPECT_TRUE(frame.commandState(kCmdWallpaper)->enabled);
    f.document->selectAll();
    EXPECT_TRUE(frame.commandState(kCmdPrint)->enabled);
}

} // namespace
} // namespace vemra
