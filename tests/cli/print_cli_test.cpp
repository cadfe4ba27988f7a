// vemra-cli print --pdf: what a printer would get, rendered back to pixels
// with pdftoppm (poppler-utils) and looked at. Skips without pdftoppm.

#include "../imaging/test_support.h"
#include "imaging/bmp_file.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

bool hasPdftoppm() {
    return std::system("command -v pdftoppm >/dev/null 2>&1") == 0;
}

PictureBuffer solid(int width, int height, QColor c) {
    PictureBuffer p = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, colourWord(c.red(), c.green(), c.blue()));
    return p;
}

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 50 && std::abs(a.green() - b.green()) < 50 &&
           std::abs(a.blue() - b.blue()) < 50;
}

QRect boundsOf(const QImage& page, QColor colour, QRect within = {}) {
    if (within.isNull())
        within = page.rect();
    QRect found;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (near(page.pixelColor(x, y), colour))
                found |= QRect(x, y, 1, 1);
    return found;
}

class PrintCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!hasPdftoppm())
            GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
        const QColor colours[] = {Qt::red, Qt::blue, Qt::green};
        for (int i = 0; i < 3; ++i) {
            const std::string name = m_dir.file("p" + std::to_string(i) + ".bmp");
            ASSERT_TRUE(writeBmpFile(name, i == 1 ? solid(50, 100, colours[i])
                                                  : solid(100, 50, colours[i])));
            m_files.push_back(test::shellQuoted(name));
        }
    }

    // Prints `files` (indexes) with `script` (none when empty) and renders
    // the pages at 30 dots an inch.
    std::vector<QImage> print(const std::string& script, std::vector<int> files,
                              const std::string& options = "") {
        std::string arguments = "print";
        for (int f : files)
            arguments += " " + m_files[f];
        if (!script.empty()) {
            const std::string definition = m_dir.file("layout.dps");
            std::ofstream(definition, std::ios::binary) << script;
            arguments += " --definition " + test::shellQuoted(definition);
        }
        const std::string pdf = m_dir.file("out.pdf");
        fs::remove(pdf);
        const auto r = test::runCli("--settings " + test::shellQuoted(m_dir.file("s.ini")) + " " +
                                    arguments + " --pdf " + test::shellQuoted(pdf) + " " + options);
        EXPECT_EQ(r.status, 0) << r.out;
        const std::string prefix = m_dir.file("page");
        const std::string render = "pdftoppm -r 30 -png " + test::shellQuoted(pdf) + " " +
                                   test::shellQuoted(prefix) + " 2>/dev/null";
        EXPECT_EQ(std::system(render.c_str()), 0);
        std::vector<QImage> pages;
        for (int n = 1;; ++n) {
            const QImage page(QString::fromStdString(prefix + "-" + std::to_string(n) + ".png"));
            if (page.isNull())
                break;
            pages.push_back(page.convertToFormat(QImage::Format_RGB32));
            fs::remove(prefix + "-" + std::to_string(n) + ".png");
        }
        return pages;
    }

    test::TempDir m_dir;
    std::vector<std::string> m_files;
};

TEST_F(PrintCli, TwoPicturesAPageAndTheSecondPagesEmptyHalf) {
    // The box marks the printable area; each picture is centred in its half.
    const auto pages = print("B,0,0,PAGEMAX_X,PAGEMAX_Y,000000,0.3\n"
                             "P,0,0,PAGEMAX_X,PAGEMAX_Y/2,15\nN\n"
                             "P,0,PAGEMAX_Y/2,PAGEMAX_X,PAGEMAX_Y,15\n"
                             "S,0,0,PAGEMAX_X,PAGEMAX_Y,$(PN),00FF00,,30,0\n",
                             {0, 1, 2});
    ASSERT_EQ(pages.size(), 2u);
    const QRect area = boundsOf(pages[0], Qt::black);
    ASSERT_GT(area.width(), 150);
    const QRect red = boundsOf(pages[0], Qt::red);
    const QRect blue = boundsOf(pages[0], Qt::blue);
    EXPECT_NEAR(red.center().x(), area.center().x(), 2);
    EXPECT_NEAR(red.center().y(), area.top() + area.height() / 4, 2);
    EXPECT_NEAR(red.width(), area.width(), 3);
    EXPECT_NEAR(blue.center().x(), area.center().x(), 2);
    EXPECT_NEAR(blue.center().y(), area.top() + area.height() * 3 / 4, 2);
    EXPECT_NEAR(blue.height(), area.height() / 2, 3);

    // The third picture alone: upper half green, nothing below, and the S
    // after the N that left no picture draws nothing.
    const QRect green = boundsOf(pages[1], Qt::green);
    EXPECT_NEAR(green.center().y(), area.top() + area.height() / 4, 2);
    EXPECT_LT(green.bottom(), area.center().y());
    const QRect lower(area.left() + 3, area.center().y() + 3, area.width() - 6,
                      area.height() / 2 - 6);
    EXPECT_TRUE(boundsOf(pages[1], Qt::blue, lower).isNull());
    EXPECT_TRUE(boundsOf(pages[1], Qt::green, lower).isNull());
}

TEST_F(PrintCli, ColoursTextAndTheFallbackLayout) {
    // 0000FF is red, FF0000 blue; text of size 0 is still drawn.
    auto pages = print("L,10,10,100,10,0000FF,3\nL,10,30,100,30,FF0000,3\n"
                       "S,10,50,100,80,WWWW,00FF00,,0,12\n",
                       {0});
    ASSERT_EQ(pages.size(), 1u);
    const QRect red = boundsOf(pages[0], Qt::red);
    const QRect blue = boundsOf(pages[0], Qt::blue);
    ASSERT_FALSE(red.isNull());
    ASSERT_FALSE(blue.isNull());
    EXPECT_GT(red.width(), 90);
    EXPECT_LT(red.height(), 6);
    EXPECT_NEAR(blue.top() - red.top(), 24, 2); // 20 mm at 30 dpi
    // Small text is thin at 30 dots an inch: any ink below the lines.
    QRect text;
    for (int y = blue.bottom() + 2; y < pages[0].height(); ++y)
        for (int x = 0; x < pages[0].width(); ++x)
            if (pages[0].pixel(x, y) != qRgb(255, 255, 255))
                text |= QRect(x, y, 1, 1);
    ASSERT_FALSE(text.isNull());
    // Centred between 10 and 100 mm, as the line drawn between them.
    EXPECT_NEAR(text.center().x(), red.center().x(), 3);

    // Without a definition: one picture a page, as large as the area allows.
    pages = print("", {0, 1}, "--landscape --paper A5");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_GT(pages[0].width(), pages[0].height());
    const QRect wide = boundsOf(pages[0], Qt::red);
    const QRect tall = boundsOf(pages[1], Qt::blue);
    EXPECT_NEAR(wide.center().x(), pages[0].width() / 2, 3);
    EXPECT_NEAR(tall.center().y(), pages[1].height() / 2, 3);
    EXPECT_GT(tall.height(), pages[1].height() * 8 / 10);
}

TEST_F(PrintCli, RefusesWhatItCannotPrint) {
    const std::string settings = "--settings " + test::shellQuoted(m_dir.file("s.ini")) + " ";
    EXPECT_EQ(test::runCli(settings + "print " + m_files[0]).status, 2);
    EXPECT_EQ(test::runCli(settings + "print " + m_files[0] + " --pdf x.pdf --paper Z9").status, 2);
    const auto missing =
        test::runCli(settings + "print " + m_files[0] + " --definition nowhere.dps --pdf " +
                     test::shellQuoted(m_dir.file("x.pdf")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(m_dir.file("x.pdf")));
    // A folder that cannot be written leaves nothing behind.
    EXPECT_EQ(test::runCli(settings + "print " + m_files[0] + " --pdf /proc/nowhere/x.pdf").status,
              1);
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

TEST(WallpaperCli, WritesTheFileAndTellsTheDesktop) {
    test::TempDir dir;
    const std::string picture = dir.file("p.bmp");
    ASSERT_TRUE(writeBmpFile(picture, solid(100, 50, QColor(100, 100, 100))));
    const test::ScopedEnvironment data("XDG_DATA_HOME", dir.file("data"));
    const std::string settings = "--settings " + test::shellQuoted(dir.file("s.ini")) + " ";
    auto r = test::runCli(settings + "wallpaper " + test::shellQuoted(picture) +
                          " --mode 3 --screen 1024x768 --bright 50 --dry-run");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string file = dir.file("data") + "/Vemra/KPZ_WALL.BMP";
    EXPECT_EQ(r.out, file + "\n");
    const ReadResult written = readBmpFile(file);
    ASSERT_TRUE(written);
    EXPECT_EQ(written.picture.width(), 1024);
    EXPECT_EQ(written.picture.height(), 512);
    EXPECT_EQ(written.picture.pixel(500, 200), colourWord(190, 190, 190));

    EXPECT_EQ(
        test::runCli(settings + "wallpaper " + test::shellQuoted(picture) + " --mode 2").status, 2);
    // No program to tell a desktop with: the system's refusal, -1.
    std::filesystem::create_directories(dir.file("empty"));
    const test::ScopedEnvironment path("PATH", dir.file("empty"));
    r = test::runCli(settings + "wallpaper " + test::shellQuoted(picture));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("壁紙の変更に失敗しました.[ErrCode=-1]"), std::string::npos) << r.out;
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

TEST_F(PrintCli, EveryShippedDefinitionPrints) {
    struct Case {
        const char* definition;
        std::vector<int> files;
        std::size_t pages;
    } const cases[] = {
        {"one-a-page.dps", {0, 1}, 2},
        {"four-a-page.dps", {0, 1, 2, 0, 1}, 2},
    };
    for (const Case& c : cases) {
        std::ifstream in(std::string(VEMRA_SOURCE_DIR) + "/samples/print/" + c.definition,
                         std::ios::binary);
        const std::string script{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        ASSERT_FALSE(script.empty()) << c.definition;
        const auto pages = print(script, c.files);
        ASSERT_EQ(pages.size(), c.pages) << c.definition;
        // Each page shows its first picture.
        EXPECT_FALSE(boundsOf(pages[0], Qt::red).isNull()) << c.definition;
        pages[0].save(QString::fromStdString(fs::current_path().string() + "/print-" +
                                             c.definition + ".png"));
    }
}

} // namespace
} // namespace vemra
