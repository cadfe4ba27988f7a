// Print-definition files and the print job, drawn onto pictures in memory
// so that every page can be looked at pixel by pixel.

#include "document/print_definition.h"

#include "../imaging/test_support.h"
#include "document/print_job.h"
#include "document/scan_services.h"
#include "fake_picture_loader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <optional>

namespace vemra {
namespace {

// Pages of 50 x 40 mm at 10 pixels a millimetre.
class ImageTarget final : public PrintTarget {
public:
    bool begin(std::string&) override {
        startPage();
        return true;
    }
    QPainter& painter() override { return m_painter; }
    PrintMetrics metrics() const override { return {50, 40, 500, 400, 254, 254}; }
    int nextPage() override {
        m_painter.end();
        startPage();
        return 1;
    }
    int end() override {
        m_painter.end();
        return 1;
    }

    std::vector<QImage> pages;

private:
    void startPage() {
        pages.emplace_back(500, 400, QImage::Format_RGB32);
        pages.back().fill(Qt::white);
        m_painter.begin(&pages.back());
    }
    QPainter m_painter;
};

// A picture of one colour.
PictureBuffer solid(int width, int height, QColor colour) {
    PictureBuffer p = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, colourWord(colour.red(), colour.green(), colour.blue()));
    return p;
}

// The smallest rectangle holding every pixel near `colour`; null when none.
QRect boundsOf(const QImage& page, QColor colour, QRect within = {}) {
    if (within.isNull())
        within = page.rect();
    QRect found;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 &&
                std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

bool blank(const QImage& page, QRect area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

std::vector<PrintItem> items(std::initializer_list<QColor> colours) {
    std::vector<PrintItem> out;
    int n = 0;
    for (QColor c : colours) {
        PrintItem item;
        item.entry.folder = "/pictures";
        item.entry.fileName = "p" + std::to_string(n++) + ".bmp";
        item.picture = n % 2 ? solid(200, 100, c) : solid(100, 200, c);
        out.push_back(std::move(item));
    }
    return out;
}

struct Run {
    ImageTarget target;
    PrintJobResult result;
};

std::unique_ptr<Run> printWith(const std::string& script, std::vector<PrintItem>& list,
                               bool single = false, PictureLoader* loader = nullptr,
                               ProgressSink* progress = nullptr) {
    test::ensureGuiApplication();
    static test::TempDir dir;
    const std::string path = dir.file("layout.dps");
    test::writeFile(path, std::vector<std::byte>(reinterpret_cast<const std::byte*>(script.data()),
                                                 reinterpret_cast<const std::byte*>(script.data()) +
                                                     script.size()));
    auto run = std::make_unique<Run>();
    PrintJobRequest request;
    request.definitionFile = script.empty() ? std::string() : path;
    request.single = single;
    run->result = runPrintJob(run->target, list, request, loader, progress);
    return run;
}

TEST(PrintDefinition, ReadsLinesAndCommands) {
    const std::string longLine = "S,0,0,10,10," + std::string(5000, 'x');
    const PrintDefinition d = PrintDefinition::parse(
        "\xEF\xBB\xBF; comment\r\n\r\nLE, A ,1+1\r\nline,0,0,1,1\n\nN\n" + longLine + "\n");
    ASSERT_EQ(d.lines().size(), 4u);
    EXPECT_EQ(d.lines()[0], "LE, A ,1+1");
    EXPECT_EQ(d.lines()[3].size(), PrintDefinition::kMaxLineBytes);

    struct Case {
        const char* field;
        PrintCommand command;
    } const cases[] = {
        {"LE", PrintCommand::Assign}, {"let", PrintCommand::Assign},
        {"L", PrintCommand::Line},    {"Line", PrintCommand::Line},
        {"b", PrintCommand::Box},     {"Picture", PrintCommand::Picture},
        {"s", PrintCommand::String},  {"Next", PrintCommand::Next},
        {"X", PrintCommand::None},    {"", PrintCommand::None},
        {"1", PrintCommand::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printCommandOf(c.field), c.command) << c.field;

    // Shift-JIS text in an old file.
    const PrintDefinition sjis = PrintDefinition::parse("S,0,0,1,1,\x93\xfa\x96\x7b\n");
    ASSERT_EQ(sjis.lines().size(), 1u);
    EXPECT_EQ(sjis.lines()[0], "S,0,0,1,1,日本");
    EXPECT_FALSE(PrintDefinition::read("/no/such/file.dps"));
}

TEST(PrintDefinition, HostileLinesEndQuickly) {
    auto list = items({Qt::red, Qt::blue});
    const auto run = printWith("LE,A,A+A\nLE,B,A*(A\nS,0,0,100000000,1,$(PN) A B $PAGE,zz,,-5,15\n"
                               "P,-1e300,1e308,5,5,-1\nS,0,0,50,40,W,0,,1e300,1e300\nN\nN\nN\n"
                               "P,0,0,40,30,15\nB,0,0,40,30,FFFFFFFFFF,1e9\nL,nan,inf,-inf,1,0,0\n",
                               list);
    EXPECT_EQ(run->result.pages, 1);
}

TEST(PrintDefinition, ColoursAndPlacement) {
    struct Colour {
        const char* field;
        QColor colour;
    } const colours[] = {
        {"0000FF", QColor(255, 0, 0)},   {"FF0000", QColor(0, 0, 255)},
        {"  00ff00", QColor(0, 255, 0)}, {"12zz", QColor(0x12, 0, 0)},
        {"", QColor(0, 0, 0)},           {"123456789", QColor(0x89, 0x67, 0x45)},
    };
    for (const Colour& c : colours)
        EXPECT_EQ(printColour(c.field), c.colour) << c.field;

    // A 200 x 100 picture in a 100 x 100 box: factor 0.5.
    struct Place {
        int flags;
        QRectF want;
    } const places[] = {
        {0, QRectF(0, 0, 100, 100)},     {15, QRectF(0, 25, 100, 50)},
        {1 | 4, QRectF(0, 0, 100, 50)},  {2 | 8, QRectF(0, 50, 100, 50)},
        {3 | 0, QRectF(0, 0, 100, 100)},
    };
    for (const Place& p : places) {
        EXPECT_EQ(placePicture({0, 0, 100, 100}, 200, 100, p.flags), p.want) << p.flags;
        // Corners in reverse order are the same box.
        EXPECT_EQ(placePicture({100, 100, 0, 0}, 200, 100, p.flags), p.want) << p.flags;
    }
    EXPECT_EQ(placePicture({0, 0, 100, 100}, 32, 32, 15, 2), QRectF(18, 18, 64, 64));
}

TEST(PrintDefinition, AssignsAndSetsPageVariables) {
    test::ensureGuiApplication();
    PrintDefinition d = PrintDefinition::parse("LE, TWO ,1+1\nLE,HALF,PAGEMAX_X/2\nLE,P,$PAGE\n");
    d.setPageVariables({210, 297, 0, 0, 600, 600}, 3);
    struct NoPictures final : PrintPictures {
        const PictureSource* current() const override { return nullptr; }
        const PictureBuffer* decoded() override { return nullptr; }
        void next() override {}
    } none;
    QImage page(10, 10, QImage::Format_RGB32);
    QPainter painter(&page);
    d.drawPage(painter, {210, 297, 10, 10, 600, 600}, none);
    // Assignments always keep six decimals, unlike the catalog's "#LET".
    EXPECT_EQ(*d.variables().find("TWO"), "2.000000");
    EXPECT_EQ(*d.variables().find("HALF"), "105.000000");
    EXPECT_EQ(*d.variables().find("P"), "3.000000");
    EXPECT_EQ(*d.variables().find("$PAGEMAX_Y"), "297");
}

TEST(PrintJob, TwoPicturesAPageEachCentredInItsHalf) {
    auto list = items({Qt::red, Qt::blue, Qt::green});
    const auto run = printWith("P,0,0,PAGEMAX_X,PAGEMAX_Y/2,15\nN\n"
                               "P,0,PAGEMAX_Y/2,PAGEMAX_X,PAGEMAX_Y,15\n"
                               "S,0,0,50,40,$(PN),000000,,10,0\n",
                               list);
    ASSERT_EQ(run->result.pages, 2);
    ASSERT_EQ(run->target.pages.size(), 2u);
    const QImage& first = run->target.pages[0];
    // Red 200 x 100 in the upper 500 x 200 half: 400 x 200 at x 50.
    EXPECT_EQ(boundsOf(first, Qt::red), QRect(50, 0, 400, 200));
    // Blue 100 x 200 in the lower half: 100 x 200 at x 200.
    EXPECT_EQ(boundsOf(first, Qt::blue), QRect(200, 200, 100, 200));
    const QImage& second = run->target.pages[1];
    EXPECT_EQ(boundsOf(second, Qt::green), QRect(50, 0, 400, 200));
    // Its N left no picture: the second P and the S draw nothing.
    EXPECT_TRUE(blank(second, QRect(0, 200, 500, 200)));
    EXPECT_TRUE(boundsOf(second, Qt::black).isNull());
    // The first page's S named the picture N moved to.
    EXPECT_FALSE(boundsOf(first, Qt::black, QRect(0, 0, 40, 40)).isNull());
}

TEST(PrintJob, FallbackViewerAndUndecodablePictures) {
    // Without a definition every picture fills the page, centred.
    auto list = items({Qt::red, Qt::blue});
    auto run = printWith("", list);
    ASSERT_EQ(run->result.pages, 2);
    EXPECT_EQ(boundsOf(run->target.pages[0], Qt::red), QRect(0, 75, 500, 250));
    EXPECT_EQ(boundsOf(run->target.pages[1], Qt::blue), QRect(150, 0, 200, 400));

    // From the viewer: one page, $PAGE 1, N ignored.
    auto one = items({Qt::red, Qt::blue});
    run = printWith("N\nP,0,0,25,40,15\nS,30,0,50,40,$PAGE,000000,,20,0\n", one, true);
    ASSERT_EQ(run->result.pages, 1);
    EXPECT_FALSE(boundsOf(run->target.pages[0], Qt::red).isNull());

    // A picture that cannot be decoded shows its icon on white, at most
    // 32 points wide (254 dpi: 112 pixels).
    test::FakePictureLoader loader;
    std::vector<PrintItem> bad(1);
    bad[0].entry.folder = "/pictures";
    bad[0].entry.fileName = "bad.jpg";
    run = printWith("B,0,0,50,40,FF0000,0.1\nP,0,0,50,40,15\n", bad, false, &loader);
    ASSERT_EQ(run->result.pages, 1);
    EXPECT_FALSE(blank(run->target.pages[0], QRect(194, 144, 112, 112)));
    EXPECT_TRUE(blank(run->target.pages[0], QRect(10, 10, 100, 100)));

    // A decoder's picture through the loader.
    std::vector<PrintItem> good(1);
    good[0].entry.fileName = "good.jpg";
    run = printWith("P,0,0,50,40,0\n", good, false, &loader);
    EXPECT_EQ(loader.calls, 2);
    EXPECT_FALSE(blank(run->target.pages[0], QRect(0, 0, 500, 400)));
}

TEST(PrintJob, TextAlignmentClippingAndSizes) {
    auto list = items({Qt::red});
    // Style 12 centres between 10 and 40 mm; style 0 draws from x1 without
    // clipping, far past a box that ends before it; style 4 clips.
    const auto run = printWith("S,10,0,40,10,WWW,000000,,12,12\n"
                               "S,5,20,1,21,WWWWWW,0000FF,,12,0\n"
                               "S,5,30,8,31,WWWWWW,FF0000,,12,4\n"
                               "S,40,15,48,16,W,00FF00,,0,0\n",
                               list);
    const QImage& page = run->target.pages[0];
    const QRect centred = boundsOf(page, Qt::black);
    ASSERT_FALSE(centred.isNull());
    EXPECT_NEAR(centred.center().x(), 250, 4);
    const QRect unclipped = boundsOf(page, Qt::red);
    ASSERT_FALSE(unclipped.isNull());
    EXPECT_GE(unclipped.left(), 50);
    EXPECT_GT(unclipped.right(), 150);
    EXPECT_GT(unclipped.bottom(), 215);
    const QRect clipped = boundsOf(page, Qt::blue);
    ASSERT_FALSE(clipped.isNull());
    EXPECT_TRUE(QRect(50, 300, 31, 11).contains(clipped))
        << clipped.x() << "," << clipped.y() << " " << clipped.width() << "x" << clipped.height();
    // Size 0 leaves the height to the face: still drawn.
    EXPECT_FALSE(boundsOf(page, Qt::green).isNull());
}

TEST(PrintJob, BreaksLongLinesAndStopsWhenCancelled) {
    auto list = items({Qt::red, Qt::blue, Qt::green});
    // A line wider than its box goes on below, never past the box's width.
    auto run = printWith("S,0,0,10,40,日本語の長い説明文です,000000,ＭＳ ゴシック,10,4\n", list);
    const QRect text = boundsOf(run->target.pages[0], Qt::black);
    ASSERT_FALSE(text.isNull());
    EXPECT_LE(text.right(), 100);
    EXPECT_GT(text.height(), 60);

    struct CancelAtOnce final : ProgressSink {
        void begin(std::string_view, std::string_view, int t) override { total = t; }
        void setMessage(std::string_view) override {}
        void advance() override { ++steps; }
        bool cancelRequested() override { return true; }
        void end() override {}
        int total = 0;
        int steps = 0;
    } cancel;
    run = printWith("P,0,0,50,40,0\n", list, false, nullptr, &cancel);
    EXPECT_EQ(run->result.pages, 1);
    EXPECT_TRUE(run->result.cancelled);
    EXPECT_EQ(cancel.total, 3);
    EXPECT_EQ(cancel.steps, 1);
}

} // namespace
} // namespace vemra
