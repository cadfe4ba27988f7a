#include "document/written_colours.h"

#include "../imaging/colour_test_support.h"
#include "../imaging/orientation_pictures.h"
#include "../imaging/test_support.h"
#include "document/exif_previews.h"
#include "document/html_catalog.h"
#include "document/picture_conversion.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "document/print_job.h"
#include "folder_document_test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/decoder.h"
#include "imaging/embedded_profile.h"
#include "imaging/picture_qimage.h"
#include "platform/file_status.h"
#include "platform/var_table.h"
#include "platform/worker_pool.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Decodes plain PNG, JPEG and BMP files with the built-in decoders, and
// hands out the bytes of a "member" from a file of the same name. Counts
// its decodes.
class FileLoader : public PictureLoader {
public:
    std::atomic<int> decodes = 0;
    std::string memberFile;

    int loadForThumbnail(PictureSource& entry, int, int, PictureBuffer& out) override {
        ++decodes;
        const std::vector<std::byte> bytes = test::readFile(entry.fullPath());
        const std::string ext = fs::path(entry.fileName).extension().string();
        const DecoderId id = ext == ".png"   ? kPngDecoderId
                             : ext == ".jpg" ? kJpegDecoderId
                                             : kBmpDecoderId;
        const BuiltinDecoder* decoder = findBuiltinDecoder(id);
        const int code =
            decoder->picture(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<std::intptr_t>(bytes.size()), 1, out, DecodeOptions{});
        if (code == 0) {
            entry.decoder = id;
            entry.pictureWidth = out.width();
            entry.pictureHeight = out.height();
            entry.bitCount = out.bitCount();
        }
        return code;
    }
    int extractMember(const PictureSource&, std::vector<std::byte>& out) override {
        out = test::readFile(memberFile);
        return out.empty() ? -1 : 0;
    }
};

PictureBuffer decodeFile(const std::string& path) {
    FileLoader loader;
    PictureSource entry;
    entry.folder = fs::path(path).parent_path().string();
    entry.fileName = fs::path(path).filename().string();
    PictureBuffer out;
    loader.loadForThumbnail(entry, 0, 0, out);
    return out;
}

PictureBuffer solid(int width, int height, ColourWord colour) {
    PictureBuffer p = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, colour);
    return p;
}

// The largest difference of any channel of any pixel; 999 for other sizes.
int maxDifference(const PictureBuffer& a, const PictureBuffer& b) {
    if (!a || !b || a.width() != b.width() || a.height() != b.height())
        return 999;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const ColourWord p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(redOf(p) - redOf(q)),
                              std::abs(greenOf(p) - greenOf(q)), std::abs(blueOf(p) - blueOf(q))});
        }
    return worst;
}

int difference(ColourWord a, QColor b) {
    return std::max({std::abs(redOf(a) - b.red()), std::abs(greenOf(a) - b.green()),
                     std::abs(blueOf(a) - b.blue())});
}

// An Adobe RGB photograph and the same values untagged, lossless, beside
// what the tagged one is in sRGB.
struct TaggedPictures {
    test::TempDir dir;
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const PictureBuffer pattern = test::patternPicture(40, 24, 24);
    // A saturated green that sRGB cannot hold as Adobe RGB means it.
    const ColourWord green = colourWord(40, 200, 70);
    PictureBuffer patternInSrgb;
    ColourWord greenInSrgb = 0;

    TaggedPictures() {
        test::writeFile(dir.file("tagged.png"), test::pngWithProfile(pattern, adobe));
        test::writeFile(dir.file("untagged.png"), test::pngWithProfile(pattern, {}));
        test::writeFile(dir.file("green.png"), test::pngWithProfile(solid(64, 48, green), adobe));
        patternInSrgb = pattern.duplicate();
        convertToDisplay(patternInSrgb, adobe, *DisplayColour::srgb());
        PictureBuffer one = solid(1, 1, green);
        convertToDisplay(one, adobe, *DisplayColour::srgb());
        greenInSrgb = one.pixel(0, 0);
    }
    PictureSource entry(const std::string& name,
                        std::shared_ptr<const DisplayColour> display) const {
        PictureSource e;
        e.folder = dir.path().string();
        e.fileName = name;
        e.drawing.colour = std::move(display);
        e.orientation = 1;
        return e;
    }
};

// Files saved in another format: JPEG and PNG carry the picture's own
// profile and keep its values; BMP is converted to sRGB while colours are
// managed; untagged pictures are written exactly as before.
TEST(WrittenColours, SavedFilesCarryTheProfileOrHoldSrgb) {
    TaggedPictures t;
    const auto write = [&](const std::string& name, SaveFormatOptions::Format format,
                           std::span<const std::byte> embedded, bool managed, int quant = 0) {
        SaveFormatOptions options;
        options.format = format;
        options.pngQuant = quant;
        options.jpegQuality = 95;
        const std::string path = t.dir.file(name);
        EXPECT_TRUE(writeConverted(path, t.pattern, options, {embedded, managed})) << name;
        return path;
    };
    const struct {
        const char* name;
        SaveFormatOptions::Format format;
        bool tagged;
        bool managed;
        bool profileKept;
        bool inSrgb;
    } cases[] = {
        {"a.png", SaveFormatOptions::Png, true, true, true, false},
        {"b.png", SaveFormatOptions::Png, true, false, true, false},
        {"c.jpg", SaveFormatOptions::Jpeg, true, true, true, false},
        {"d.bmp", SaveFormatOptions::Bmp, true, true, false, true},
        {"e.bmp", SaveFormatOptions::Bmp, true, false, false, false},
        {"f.png", SaveFormatOptions::Png, false, true, false, false},
        {"g.jpg", SaveFormatOptions::Jpeg, false, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::span<const std::byte> embedded =
            c.tagged ? std::span<const std::byte>(t.adobe) : std::span<const std::byte>();
        const std::string path = write(c.name, c.format, embedded, c.managed);
        EXPECT_EQ(embeddedColourProfile(path), c.profileKept ? t.adobe : std::vector<std::byte>{});
        // Written as before (no colours given) for comparison.
        const std::string plain = write(std::string("plain-") + c.name, c.format, {}, false);
        if (!c.tagged) {
            EXPECT_EQ(test::readFile(path), test::readFile(plain));
            continue;
        }
        const PictureBuffer read = decodeFile(path);
        if (c.inSrgb)
            EXPECT_LE(maxDifference(read, t.patternInSrgb), 1);
        else
            EXPECT_EQ(maxDifference(read, decodeFile(plain)), 0);
    }
    // For people to look at: a hue sweep's stored values as a program that
    // drops the profile shows them (above) and the BMP written now (below).
    PictureBuffer sweep = PictureBuffer::create(120, 24, 24);
    for (int y = 0; y < sweep.height(); ++y)
        for (int x = 0; x < sweep.width(); ++x) {
            const QColor c = QColor::fromHsv(x * 3, 255, 255 - y * 4);
            sweep.setPixel(x, y, colourWord(c.red(), c.green(), c.blue()));
        }
    SaveFormatOptions bmp;
    bmp.format = SaveFormatOptions::Bmp;
    ASSERT_TRUE(writeConverted(t.dir.file("sweep.bmp"), sweep, bmp, {t.adobe, true}));
    QImage strip(480, 200, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter painter(&strip);
    painter.drawImage(QRect(0, 0, 480, 96), pictureToImage(sweep));
    painter.drawImage(QRect(0, 104, 480, 96), pictureToImage(decodeFile(t.dir.file("sweep.bmp"))));
    painter.end();
    strip.save(QStringLiteral("written-colours.png"));

    // 256 colours keep the profile on the palette.
    const std::string reduced = write("h.png", SaveFormatOptions::Png, t.adobe, true, 8);
    EXPECT_EQ(embeddedColourProfile(reduced), t.adobe);
    // A grey profile cannot go with colour pixels: converted, none stored.
    const std::vector<std::byte> grey = test::greyProfile();
    const std::string greyPath = write("i.png", SaveFormatOptions::Png, grey, true);
    EXPECT_TRUE(embeddedColourProfile(greyPath).empty());
}

// Printing, the clipboard and the wallpaper take a full decode through
// prepareForWriting; the viewer writes what it shows through
// shownPictureForWriting. Either way the result is sRGB, never the
// display's colours, and untouched when colours are not managed.
TEST(WrittenColours, DecodedAndShownPicturesAreWrittenInSrgb) {
    TaggedPictures t;
    const auto p3 = DisplayColour::fromProfile(test::displayP3Profile());
    ASSERT_TRUE(p3);
    FileLoader loader;
    const struct {
        const char* file;
        std::shared_ptr<const DisplayColour> display;
        bool converted;
    } cases[] = {
        {"tagged.png", DisplayColour::srgb(), true},
        {"tagged.png", p3, true},
        {"tagged.png", nullptr, false},
        {"untagged.png", p3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.display ? " " + c.display->description() : " off"));
        PictureSource entry = t.entry(c.file, c.display);
        PictureBuffer picture;
        ASSERT_EQ(loader.loadForThumbnail(entry, 0, 0, picture), 0);
        prepareForWriting(entry, &loader, picture);
        EXPECT_LE(maxDifference(picture, c.converted ? t.patternInSrgb : t.pattern), 1);
    }

    // What a P3 screen shows of an untagged picture goes out as it was.
    const PictureBuffer green = solid(8, 8, t.green);
    PictureBuffer shown = green.duplicate();
    convertToDisplay(shown, {}, *p3);
    ASSERT_GT(maxDifference(shown, green), 2);
    EXPECT_LE(maxDifference(shownPictureForWriting(shown, p3.get()), green), 1);
    EXPECT_FALSE(shownPictureForWriting(t.pattern, DisplayColour::srgb().get()));
    EXPECT_FALSE(shownPictureForWriting(t.pattern, nullptr));
}

// A page drawn by the print job, from the picture file through the loader.
class PageTarget final : public PrintTarget {
public:
    bool begin(std::string&) override {
        page = QImage(200, 150, QImage::Format_RGB32);
        page.fill(Qt::white);
        return m_painter.begin(&page);
    }
    QPainter& painter() override { return m_painter; }
    PrintMetrics metrics() const override { return {20, 15, 200, 150, 254, 254}; }
    int nextPage() override { return 1; }
    int end() override {
        m_painter.end();
        return 1;
    }
    QImage page;

private:
    QPainter m_painter;
};

// Printouts and catalog thumbnails are sRGB whatever the screen's profile.
TEST(WrittenColours, PrintoutsAndCatalogThumbnailsAreSrgbOnAnyDisplay) {
    test::ensureGuiApplication();
    TaggedPictures t;
    const auto p3 = DisplayColour::fromProfile(test::displayP3Profile());
    FileLoader loader;
    for (const auto& display : {DisplayColour::srgb(), p3}) {
        SCOPED_TRACE(display->description());
        std::vector<PrintItem> items(1);
        items[0].entry = t.entry("green.png", display);
        PageTarget target;
        runPrintJob(target, items, {}, &loader, nullptr);
        ASSERT_FALSE(target.page.isNull());
        EXPECT_LE(difference(t.greenInSrgb, target.page.pixelColor(100, 75)), 1);

        fs::create_directories(t.dir.path() / "out");
        PictureSource entry = t.entry("green.png", display);
        entry.noteLoaded = true;
        std::vector<PictureSource*> pictures{&entry};
        HtmlCatalogRequest request;
        request.outputFolder = (t.dir.path() / "out").string();
        request.fileName = "catalog.htm";
        request.options.linkFormat = 2; // PNG thumbnails
        HtmlCatalogContext context;
        context.loader = &loader;
        context.documentFolder = t.dir.path().string();
        context.centralCacheFolder = t.dir.file("no-cache");
        VarTable vars;
        const auto result = writeHtmlCatalog(
            parseCatalogDefinition("*One\n$THUMBSNAME$\n", catalogDefaults(32, 32)), request,
            pictures, vars, context);
        ASSERT_TRUE(result.ok) << result.error;
        const PictureBuffer thumbnail = decodeFile((t.dir.path() / "out/Ve-green.png").string());
        ASSERT_TRUE(thumbnail);
        EXPECT_LE(
            maxDifference(thumbnail, solid(thumbnail.width(), thumbnail.height(), t.greenInSrgb)),
            1);
    }
}

// A DIRINFO.KPI thumbnail another program made from the stored values is
// turned into what this program makes (display colours, upright) without a
// decode, and files written before this still read.
TEST(WrittenColours, FolderInformationThumbnailsAreConvertedNotMadeAgain) {
    test::DocFixture f;
    TaggedPictures pictures;
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const PictureBuffer thumb = solid(32, 24, pictures.green);
    test::writeFile(f.dir.file("a.png"),
                    test::pngWithProfile(solid(64, 48, pictures.green), adobe));
    test::writeFile(f.dir.file("b.png"), test::pngWithProfile(solid(64, 48, pictures.green), {}));
    // Version 1: whole bitmap files one after the other.
    const std::string bmp = f.dir.file("one.bmp");
    ASSERT_TRUE(writeBmpFile(bmp, thumb));
    std::vector<std::byte> data = test::readFile(bmp);
    const std::size_t second = data.size();
    const std::vector<std::byte> copy = data;
    data.insert(data.end(), copy.begin(), copy.end());
    test::writeFile(f.dir.file("th.dat"), data);
    fs::remove(bmp);
    std::string info =
        "[Document]\nMaxCount=2\nDataVersion=1\nDocSize=110,110\nThumbsFile=th.dat\n";
    const std::pair<const char*, std::size_t> files[] = {{"a.png", 0}, {"b.png", second}};
    int n = 0;
    for (const auto& [name, at] : files)
        info += "[" + std::to_string(++n) + "]\nSPIName=PNG\nFileName=" + name +
                "\nWidth=64\nHeight=48\nBitCount=24\nSizeBox=110,110\nLength=" +
                std::to_string(fileStatus(f.dir.file(name))->size) +
                "\nThumbsPosition=" + std::to_string(at) +
                "\nLastWriteTime=" + std::to_string(fileStatus(f.dir.file(name))->lastWriteTime) +
                "\n";
    f.put("DIRINFO.KPI", info);

    FileLoader loader;
    f.doc.setPictureLoader(&loader);
    f.doc.openFolder(f.folder(), nullptr, true);
    ASSERT_EQ(f.displayed(), (std::vector<std::string>{"a.png", "b.png"}));
    ASSERT_TRUE(f.doc.entryAt(0)->thumbnail);
    ASSERT_TRUE(f.doc.entryAt(1)->thumbnail);
    const CellGeometry cell{110, 110, 106, 80};
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(f.doc.prepareThumbnail(i, cell, true).exists);
    EXPECT_EQ(loader.decodes, 0);
    EXPECT_LE(maxDifference(f.doc.entryAt(0)->thumbnail, solid(32, 24, pictures.greenInSrgb)), 1);
    EXPECT_LE(maxDifference(f.doc.entryAt(1)->thumbnail, thumb), 0);

    // Unmanaged, the stored thumbnails are taken as they are.
    f.doc.options().colorManagement = false;
    f.doc.applyThumbnailOptions();
    f.doc.openFolder(f.folder(), nullptr, true);
    EXPECT_TRUE(f.doc.prepareThumbnail(0, cell, true).exists);
    EXPECT_EQ(loader.decodes, 0);
    EXPECT_LE(maxDifference(f.doc.entryAt(0)->thumbnail, thumb), 0);
}

// Archive members get the camera's EXIF thumbnail for the first paint too,
// unpacked on a worker, upright; oversized members are not unpacked.
TEST(WrittenColours, ArchiveMembersGetTheirExifThumbnailFirst) {
    test::TempDir dir;
    FileLoader loader;
    loader.memberFile = dir.file("member.jpg");
    test::writeOrientedJpeg(loader.memberFile, 6, false, true);
    WorkerPool pool(1);
    ExifPreviews previews(pool, &loader);
    const auto ask = [&](std::uint64_t length) -> std::optional<ExifPreviewResult> {
        ExifPreviewRequest request;
        request.fileName = "photos/member.jpg";
        request.boxWidth = request.boxHeight = 96;
        request.member.emplace();
        request.member->folder = dir.path().string();
        request.member->archiveFileName = "set.zip";
        request.member->fileName = "photos/member.jpg";
        request.member->length = length;
        previews.submit(std::move(request));
        for (int i = 0; i < 500; ++i) {
            if (auto result = previews.take())
                return result;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    };
    const auto small = ask(fileStatus(loader.memberFile)->size);
    ASSERT_TRUE(small);
    EXPECT_EQ(test::uprightFMismatch(small->picture), "");
    EXPECT_EQ(small->picture.height(), 96);
    const auto huge = ask(kMaxPreviewMemberBytes + 1);
    ASSERT_TRUE(huge);
    EXPECT_FALSE(huge->picture);
}

} // namespace
} // namespace vemra
