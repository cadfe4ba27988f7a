#include "document/contact_sheet.h"

#include "../imaging/test_support.h"
#include "document/document_options.h"
#include "document/picture_source.h"
#include "fake_picture_loader.h"
#include "imaging/bmp_file.h"
#include "imaging/picture_qimage.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <memory>

namespace vemra {
namespace {

TEST(ContactSheet, ChoosesTheGrid) {
    struct Case {
        int count, columns, rows, wantColumns, wantRows;
    } const cases[] = {
        {10, 0, 0, 3, 4}, {5, 0, 2, 3, 2}, {10, 4, 2, 4, 2},
        {10, 4, 0, 4, 3}, {1, 0, 0, 1, 1}, {3, -1, 0, 1, 3},
    };
    for (const Case& c : cases) {
        const SheetGrid g = contactSheetGrid(c.count, c.columns, c.rows);
        EXPECT_EQ(g.columns, c.wantColumns) << c.count << " " << c.columns << " " << c.rows;
        EXPECT_EQ(g.rows, c.wantRows) << c.count << " " << c.columns << " " << c.rows;
    }
    EXPECT_EQ(contactSheetFileName("sheet", 1), "sheet.jpg");
    EXPECT_EQ(contactSheetFileName("sheet", 0), "sheet.bmp");
    EXPECT_EQ(sheetPath("/o/sheet.jpg", 2, true), "/o/sheet02.jpg");
    EXPECT_EQ(sheetPath("/o/sheet.jpg", 2, false), "/o/sheet.jpg");
}

TEST(ContactSheet, DrawsGridCellsOnNumberedSheets) {
    test::ensureGuiApplication();
    test::TempDir dir;
    test::FakePictureLoader loader;
    std::vector<std::unique_ptr<PictureSource>> entries;
    std::vector<PictureSource*> pictures;
    for (int i = 0; i < 10; ++i) {
        auto e = std::make_unique<PictureSource>();
        e->folder = dir.path().string();
        e->fileName = i == 4 ? "bad.jpg" : "p" + std::to_string(i) + ".jpg";
        e->state = PictureSource::kSelected | PictureSource::kFocused;
        pictures.push_back(e.get());
        entries.push_back(std::move(e));
    }
    ContactSheetRequest request;
    request.look = CellLook::fromOptions(DocumentOptions{});
    request.cellWidth = 60;
    request.cellHeight = 70;
    request.background = QColor(1, 2, 3);

    struct Case {
        int columns, rows;
        std::vector<const char*> files;
    } const cases[] = {
        {0, 0, {"sheet.bmp"}},                                 // 3 x 4 for the ten
        {4, 2, {"sheet00.bmp", "sheet01.bmp"}},                // numbered, the last one partly
        {3, 1, {"sheet00.bmp", "sheet01.bmp", "sheet02.bmp"}}, // the last one full
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir.path() / "out");
        std::filesystem::create_directories(dir.path() / "out");
        request.outputPath = (dir.path() / "out/sheet.bmp").string();
        request.columns = c.columns;
        request.rows = c.rows;
        const ContactSheetResult result = writeContactSheets(request, pictures, loader, nullptr);
        ASSERT_TRUE(result.ok);
        // The picture that cannot be decoded leaves its cell to the next.
        EXPECT_EQ(result.drawn, 9);
        ASSERT_EQ(result.files.size(), c.files.size());
        for (std::size_t i = 0; i < c.files.size(); ++i)
            EXPECT_EQ(std::filesystem::path(result.files[i]).filename(), c.files[i]);
        const ReadResult last = readBmpFile(result.files.back());
        ASSERT_TRUE(last);
        const QImage image = pictureToImage(last.picture);
        const SheetGrid grid = contactSheetGrid(10, c.columns, c.rows);
        EXPECT_EQ(image.width(), grid.columns * 60);
        EXPECT_EQ(image.height(), grid.rows * 70);
        // Cells are drawn unselected: the caption box is the plain white of
        // a drawn picture, not the selection's colour; empty cells keep the
        // sheet's background.
        EXPECT_EQ(image.pixelColor(3, 70 - 4), QColor(255, 255, 255));
        if (result.drawn % (grid.columns * grid.rows) != 0) {
            EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), QColor(1, 2, 3));
        }
        if (c.columns == 0)
            image.save(QStringLiteral("contact-sheet.png"));
    }
}

} // namespace
} // namespace vemra
