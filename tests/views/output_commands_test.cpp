#include "views/output_commands.h"

#include "document/contact_sheet.h"
#include "document/html_catalog_options.h"
#include "document/picture_loader.h"
#include "framework/command_id.h"
#include "framework/history_combo.h"
#include "framework/message_box.h"
#include "views/contact_sheet_dialog.h"
#include "views/html_catalog_dialog.h"
#include "views/main_window.h"
#include "views/report_file_dialog.h"

#include "views_test_support.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HtmlCatalogDialog, EnablesByLayoutAndLinkFormatAndStoresOnCreate) {
    test::DocumentFixture f;
    f.store.putText("Html", "Folder0", "out");
    f.store.putInt("Html", "QuantPng", 8);
    HtmlCatalogDialog dialog(f.store, "/base", f.dir.path().string());
    EXPECT_EQ(dialog.fileNameCombo()->currentText(), QStringLiteral("catalog.htm"));
    EXPECT_TRUE(dialog.quantCheck()->isChecked());

    struct Case {
        bool table;
        int link;
        bool perPage, columns, quality, progressive, quant, thumbs;
    } const cases[] = {
        {false, 0, true, false, false, false, false, false},
        {true, 1, false, true, true, true, false, true},
        {false, 2, true, false, false, false, true, true},
    };
    for (const Case& c : cases) {
        dialog.tableCheck()->setChecked(c.table);
        dialog.linkGroup()->button(c.link)->setChecked(true);
        EXPECT_EQ(dialog.perPageSpin()->isEnabled(), c.perPage) << c.link;
        EXPECT_EQ(dialog.columnsSpin()->isEnabled(), c.columns) << c.link;
        EXPECT_EQ(dialog.rowsSpin()->isEnabled(), c.columns) << c.link;
        EXPECT_EQ(dialog.qualitySpin()->isEnabled(), c.quality) << c.link;
        EXPECT_EQ(dialog.progressiveCheck()->isEnabled(), c.progressive) << c.link;
        EXPECT_EQ(dialog.quantCheck()->isEnabled(), c.quant) << c.link;
        EXPECT_EQ(dialog.thumbsFolderCombo()->isEnabled(), c.thumbs) << c.link;
    }
    dialog.adjustSize();
    test::saveScreenshot(dialog.grab().toImage(), "html_catalog_dialog.png");

    // Without a definition file the dialog stays open.
    dialog.definitionCombo()->setEditText({});
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.definitionCombo()->setEditText(QStringLiteral("/defs/t.kpm"));
    dialog.fileNameCombo()->setEditText(QStringLiteral("index"));
    dialog.thumbsFolderCombo()->setEditText({});
    dialog.tableCheck()->setChecked(true);
    dialog.columnsSpin()->setValue(4);
    dialog.rowsSpin()->setValue(2);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const HtmlCatalogRequest& r = dialog.request();
    EXPECT_EQ(r.outputFolder, "/base/out");
    EXPECT_EQ(r.fileName, "index.html");
    EXPECT_EQ(r.thumbsFolder, ".");
    EXPECT_EQ(r.options.picturesPerPage(), 8);
    EXPECT_EQ(f.store.getText("Html", "HtmlFile0"), "/defs/t.kpm");
    EXPECT_EQ(f.store.getText("Html", "FileName0"), "index");
    EXPECT_EQ(f.store.getInt("Html", "LinkFormat", -1), 2);
    EXPECT_EQ(f.store.getInt("Html", "WidthCount", -1), 4);
    EXPECT_EQ(f.store.getInt("Html", "QuantPng", -1), 8);
}

TEST(ReportFileDialog, InsertsMacrosAndSavesAsText) {
    test::DocumentFixture f;
    ReportFileDialog dialog(f.store, "/pics");
    EXPECT_EQ(dialog.fileEdit()->text(), QStringLiteral("/pics/report.txt"));
    QLineEdit* edit = dialog.formatCombo()->lineEdit();
    edit->setText(QStringLiteral("A-XX-B"));
    edit->setFocus();
    edit->setSelection(2, 2);
    // The menu's item for the file name replaces the selection.
    for (QAction* item : dialog.macroMenu()->actions()) {
        if (item->text() == QStringLiteral("ファイル名"))
            item->trigger();
    }
    EXPECT_EQ(edit->text(), QStringLiteral("A-$(PicName)-B"));
    EXPECT_EQ(dialog.macroMenu()->actions().size(),
              16); // with the date taken, its time and the camera
    dialog.adjustSize();
    test::saveScreenshot(dialog.grab().toImage(), "report_file_dialog.png");

    dialog.fileEdit()->setText(QStringLiteral("out/report.csv"));
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.path(), "/pics/out/report.txt");
    EXPECT_EQ(dialog.format(), "A-$(PicName)-B");
    EXPECT_EQ(f.store.getText("ReportFile", "0"), "A-$(PicName)-B");
}

TEST(ContactSheetDialog, AddsTheTypesExtensionAndStoresOnCreate) {
    test::DocumentFixture f;
    ContactSheetDialog dialog(f.store, "/pics");
    dialog.folderCombo()->setEditText(QStringLiteral("sheets"));
    dialog.fileNameCombo()->setEditText(QStringLiteral("sheet"));
    dialog.typeList()->setCurrentIndex(1);
    dialog.columnsSpin()->setValue(4);
    dialog.rowsSpin()->setValue(2);
    dialog.adjustSize();
    test::saveScreenshot(dialog.grab().toImage(), "contact_sheet_dialog.png");
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.outputPath(), "/pics/sheets/sheet.jpg");
    EXPECT_EQ(f.store.getInt("Catalog", "Filetype", -1), 1);
    EXPECT_EQ(f.store.getInt("Catalog", "Width", -1), 4);
    EXPECT_EQ(f.store.getText("Catalog", "FileName0"), "sheet");
}

// The three products from the main window's selection, as the commands run
// them once their dialogs are answered.
TEST(OutputCommands, ProduceFilesFromTheSelection) {
    test::DocumentFixture f;
    RegistryPictureLoader loader(*f.registry);
    f.document->setPictureLoader(&loader);
    const std::string folder = f.dir.file("pics");
    test::makePictures(folder, 5);
    MainWindow frame(*f.document, f.registry.get(), f.store);
    f.document->openFolder(folder, nullptr, false);
    OutputCommands& commands = *frame.outputCommands();
    EXPECT_FALSE(frame.commandState(kCmdHtmlCatalog)->enabled);
    f.document->selectAll();
    for (const int id : {kCmdHtmlCatalog, kCmdReportFile, kCmdContactSheet})
        EXPECT_TRUE(frame.commandState(id)->enabled) << id;

    const std::string out = f.dir.file("out");
    fs::create_directories(out);
    const std::string definition = f.dir.file("t.kpm");
    std::ofstream(definition) << "*One\n<IMG SRC=\"$THUMBSNAME$\"> $FILENAME$\n";
    HtmlCatalogRequest request;
    request.outputFolder = out;
    request.fileName = "index.html";
    request.definitionFile = definition;
    request.options.linkFormat = 1;
    commands.makeHtmlCatalog(request);
    const std::string page = readText(fs::path(out) / "index.html");
    EXPECT_NE(page.find("<IMG SRC=\"./Ve-pic0004.jpg\"> pic0004.png"), std::string::npos) << page;
    EXPECT_TRUE(fs::exists(fs::path(out) / "Ve-pic0000.jpg"));

    // A definition that cannot be read is said so.
    std::string told;
    ScopedMessageBoxResponder responder([&](MessageKind, MessageButtons, std::string_view text) {
        told = text;
        return MessageAnswer::Ok;
    });
    request.definitionFile = f.dir.file("missing.kpm");
    commands.makeHtmlCatalog(request);
    EXPECT_EQ(told, "HTML定義ファイルの読み込みに失敗しました");

    commands.makeReport(out + "/report.txt", "$(PN)");
    EXPECT_EQ(readText(fs::path(out) / "report.txt"),
              "pic0000.png\r\npic0001.png\r\npic0002.png\r\npic0003.png\r\npic0004.png\r\n");

    ContactSheetOptions options;
    options.width = 2;
    options.height = 2;
    options.filetype = 1;
    commands.makeContactSheets(out + "/sheet.jpg", options);
    EXPECT_TRUE(fs::exists(fs::path(out) / "sheet00.jpg"));
    EXPECT_TRUE(fs::exists(fs::path(out) / "sheet01.jpg"));
    EXPECT_FALSE(fs::exists(fs::path(out) / "sheet02.jpg"));
}

} // namespace
} // namespace vemra
