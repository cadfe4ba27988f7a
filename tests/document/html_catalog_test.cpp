#include "document/html_catalog.h"

#include "../imaging/test_support.h"
#include "document/html_catalog_text.h"
#include "document/picture_source.h"
#include "document/scan_services.h"
#include "fake_picture_loader.h"
#include "platform/var_table.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

namespace vemra {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Stops the run when asked for the `stopAt`th time whether to stop.
class StoppingProgress : public ProgressSink {
public:
    explicit StoppingProgress(int stopAt) : m_stopAt(stopAt) {}
    void begin(std::string_view caption, std::string_view, int total) override {
        title = caption;
        this->total = total;
    }
    void setMessage(std::string_view) override {}
    void advance() override { ++steps; }
    bool cancelRequested() override { return ++m_asked >= m_stopAt; }
    void end() override {}
    std::string title;
    int total = 0;
    int steps = 0;

private:
    int m_stopAt;
    int m_asked = 0;
};

// Pictures in a "pics" folder beside an "out" folder, and one run's inputs.
struct CatalogFixture {
    test::TempDir dir;
    std::vector<std::unique_ptr<PictureSource>> entries;
    std::vector<PictureSource*> pictures;
    test::FakePictureLoader loader;
    VarTable vars;
    HtmlCatalogRequest request;
    HtmlCatalogContext context;

    CatalogFixture() {
        fs::create_directories(dir.path() / "pics");
        fs::create_directories(dir.path() / "out");
        request.outputFolder = (dir.path() / "out").string();
        request.fileName = "catalog.htm";
        context.loader = &loader;
        context.documentFolder = (dir.path() / "pics").string();
        context.centralCacheFolder = (dir.path() / "no-cache").string();
        context.now = 0;
    }

    void add(const std::string& name, const std::string& note = {}) {
        auto e = std::make_unique<PictureSource>();
        e->folder = (dir.path() / "pics").string();
        e->fileName = name;
        e->note = note;
        e->noteLoaded = true;
        pictures.push_back(e.get());
        entries.push_back(std::move(e));
    }

    HtmlCatalogResult run(const std::string& definitionText, ProgressSink* progress = nullptr) {
        context.progress = progress;
        const CatalogDefinition definition =
            parseCatalogDefinition(definitionText, catalogDefaults(110, 110));
        return writeHtmlCatalog(definition, request, pictures, vars, context);
    }

    std::string page(const std::string& name) const { return readText(dir.path() / "out" / name); }
};

TEST(HtmlCatalog, SplitsPagesAndLinksThemInOrder) {
    CatalogFixture f;
    for (int i = 0; i < 7; ++i)
        f.add("p" + std::to_string(i) + ".jpg");
    f.request.options.pageCount = 3;
    const auto result = f.run("*Header\n"
                              "page $PAGENO$/$MAXPAGENO$ prev=[$PREV_PAGE$] next=[$NEXT_PAGE$]\n"
                              "*One\n"
                              "IMG $FILENAME$ <A HREF=\"$ORGPATHNAME$\">\n");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 3);
    const std::string pages[] = {f.page("catalog.htm"), f.page("catalog-2.htm"),
                                 f.page("catalog-3.htm")};
    EXPECT_EQ(count(pages[0], "IMG "), 3);
    EXPECT_EQ(count(pages[1], "IMG "), 3);
    EXPECT_EQ(count(pages[2], "IMG "), 1);
    EXPECT_NE(pages[0].find("page 1/3 prev=[] next=[catalog-2.htm]"), std::string::npos);
    EXPECT_NE(pages[1].find("page 2/3 prev=[catalog.htm] next=[catalog-3.htm]"), std::string::npos);
    EXPECT_NE(pages[2].find("page 3/3 prev=[catalog-2.htm] next=[]"), std::string::npos);
    // Pictures are linked relative to the pages; the walk goes on page by page.
    EXPECT_NE(pages[2].find("IMG p6.jpg <A HREF=\"../pics/p6.jpg\">"), std::string::npos);
    // The first version's head, in UTF-8, with CR LF line ends.
    EXPECT_TRUE(pages[0].starts_with("<HTML>\r\n<HEAD>\r\n"));
    EXPECT_NE(pages[0].find("CHARSET=UTF-8"), std::string::npos);
    EXPECT_TRUE(pages[0].ends_with("</HTML>\r\n"));

    // Without a limit every picture goes to the one page named as typed.
    CatalogFixture one;
    for (int i = 0; i < 7; ++i)
        one.add("p" + std::to_string(i) + ".jpg");
    one.request.fileName = "index.html";
    ASSERT_TRUE(one.run("#VERSION=2\n*One\nIMG\n").ok);
    const std::string single = one.page("index.html");
    EXPECT_EQ(count(single, "IMG"), 7);
    // Version 2 writes its own head.
    EXPECT_EQ(single.find("<HTML>"), std::string::npos);
    EXPECT_EQ(catalogFileName("index"), "index.html");
    EXPECT_EQ(catalogFileName("list.htm"), "list.htm");
}

TEST(HtmlCatalog, LaysPicturesOutInTables) {
    struct Case {
        int columns, rows, pictures;
        const char* cell;
        int pages, rowsClosed;
    } const cases[] = {
        {4, 2, 9, "<TD WIDTH=\"25%\">", 2, 2}, // 8 a page; the last row of one stays open
        {3, 0, 5, "<TD WIDTH=\"33%\">", 1, 1}, // no rows: one page
    };
    for (const Case& c : cases) {
        CatalogFixture f;
        for (int i = 0; i < c.pictures; ++i)
            f.add("p" + std::to_string(i) + ".jpg");
        f.request.options.table = true;
        f.request.options.widthCount = c.columns;
        f.request.options.heightCount = c.rows;
        const auto result = f.run("#TABLE_OPTION=BORDER=1\n*One\n$FILENAME$\n");
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.pages, c.pages) << c.columns;
        const std::string page = f.page("catalog.htm");
        EXPECT_NE(page.find("<TABLE WIDTH=\"1\" BORDER=1>"), std::string::npos);
        EXPECT_EQ(count(page, c.cell), std::min(c.pictures, c.rows ? c.columns * c.rows : 99));
        EXPECT_EQ(count(page, "</TR>"), c.rowsClosed) << c.columns;
    }
}

TEST(HtmlCatalog, WritesThumbnailsWithSizesAndDistinctNames) {
    CatalogFixture f;
    f.loader.width = 50;
    f.loader.height = 20;
    f.add("a.jpg");
    f.add("a.bmp");
    f.request.options.linkFormat = 1;
    f.request.thumbsFolder = "thumbs";
    const auto result =
        f.run("#THUMBS_WIDTH=100\n#THUMBS_HEIGHT=100\n*One\n$THUMBSNAME$ $WIDTH$x$HEIGHT$\n"
              "*Footer\nlast $WIDTH$ #THUMBS_WIDTH\n");
    ASSERT_TRUE(result.ok) << result.error;
    const std::string page = f.page("catalog.htm");
    // A small picture is given a larger display size, proportions kept.
    EXPECT_NE(page.find("thumbs/Ve-a.jpg 100x40"), std::string::npos) << page;
    // Two pictures whose names differ only in the extension keep one
    // thumbnail each.
    EXPECT_NE(page.find("thumbs/Ve-a-2.jpg 100x40"), std::string::npos) << page;
    EXPECT_NE(page.find("last 100 100"), std::string::npos);
    EXPECT_TRUE(fs::exists(f.dir.path() / "out/thumbs/Ve-a.jpg"));
    EXPECT_TRUE(fs::exists(f.dir.path() / "out/thumbs/Ve-a-2.jpg"));
    EXPECT_EQ(result.files.size(), 3u);

    // PNG thumbnails, reduced to 256 colours on request, in the page's folder.
    CatalogFixture png;
    png.add("b c#.jpg");
    png.request.options.linkFormat = 2;
    png.request.options.quantPng = 8;
    ASSERT_TRUE(png.run("*One\n$THUMBSNAME$|$ORGPATHNAME$\n").ok);
    EXPECT_NE(png.page("catalog.htm").find("./Ve-b%20c%23.png|../pics/b%20c%23.jpg"),
              std::string::npos)
        << png.page("catalog.htm");
    const auto bytes = test::readFile((png.dir.path() / "out/Ve-b c#.png").string());
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(static_cast<int>(bytes[25]), 3); // PNG colour type 3: palette
}

// Takes no archive file, as the registry takes none as a picture.
class NoArchiveLoader : public test::FakePictureLoader {
public:
    int loadForThumbnail(PictureSource& entry, int boxWidth, int boxHeight,
                         PictureBuffer& out) override {
        if (entry.fileName.ends_with(".zip"))
            return -1;
        return FakePictureLoader::loadForThumbnail(entry, boxWidth, boxHeight, out);
    }
};

// Every <img> of the page, with the picture it shows: read from the data
// address or from the file the address names relative to the page.
std::vector<std::pair<std::string, QImage>> pageImages(const std::string& page,
                                                       const fs::path& pageFolder) {
    std::vector<std::pair<std::string, QImage>> out;
    const std::regex img("<img src=\"([^\"]*)\"", std::regex::icase);
    for (auto it = std::sregex_iterator(page.begin(), page.end(), img);
         it != std::sregex_iterator(); ++it) {
        const std::string source = (*it)[1];
        constexpr std::string_view kData = "data:image/png;base64,";
        QImage image;
        if (source.starts_with(kData)) {
            image = QImage::fromData(
                QByteArray::fromBase64(QByteArray::fromStdString(source.substr(kData.size()))));
        } else {
            const QString path = QUrl::fromPercentEncoding(QByteArray::fromStdString(source));
            image = QImage((QString::fromStdString(pageFolder.string()) + "/" + path));
        }
        out.emplace_back(source, image);
    }
    return out;
}

TEST(HtmlCatalog, ArchivesAndFilesWithoutPicturesShowTheirIcon) {
    test::ensureGuiApplication();
    const fs::path samples = fs::path(VEMRA_SOURCE_DIR) / "samples";
    for (const int linkFormat : {0, 1, 2}) {
        SCOPED_TRACE(linkFormat);
        CatalogFixture f;
        NoArchiveLoader loader;
        f.context.loader = &loader;
        fs::copy_file(samples / "sunset.jpg", f.dir.path() / "pics/a.jpg");
        fs::copy_file(samples / "album.zip", f.dir.path() / "pics/album.zip");
        f.add("a.jpg");
        f.add("album.zip");
        f.add("album.zip"); // a second archive of the type: its own icon file
        f.add("inside.jpg");
        f.entries.back()->archiveFileName = "album.zip";
        f.add("inside-bad.jpg");
        f.entries.back()->archiveFileName = "album.zip";
        f.request.options.linkFormat = linkFormat;
        f.request.thumbsFolder = "thumbs";
        const auto result = f.run("*One\n<a href=\"$ORGPATHNAME$\"><img src=\"$THUMBSNAME$\" "
                                  "width=\"$WIDTH$\" height=\"$HEIGHT$\"></a>\n");
        ASSERT_TRUE(result.ok) << result.error;
        const std::string page = f.page("catalog.htm");
        const auto images = pageImages(page, f.dir.path() / "out");
        ASSERT_EQ(images.size(), 5u) << page;
        for (const auto& [source, image] : images)
            EXPECT_FALSE(image.isNull()) << source.substr(0, 80);
        // Archives stay linked to the archive file and show at the icon's size.
        EXPECT_EQ(count(page, "<a href=\"../pics/album.zip\"><img"), 4) << page;
        EXPECT_EQ(count(page, "width=\"32\" height=\"32\""), linkFormat == 0 ? 4 : 3) << page;
        if (linkFormat == 0) {
            EXPECT_EQ(images[0].first, "../pics/a.jpg");
            EXPECT_EQ(count(page, "data:image/png"), 4);
        } else {
            EXPECT_TRUE(images[1].first.ends_with("thumbs/Ve-album.png")) << images[1].first;
            EXPECT_TRUE(images[2].first.ends_with("thumbs/Ve-album-2.png")) << images[2].first;
            EXPECT_TRUE(images[4].first.ends_with("thumbs/Ve-inside-bad.png"));
            EXPECT_EQ(result.files.size(), 6u); // the page and five pictures
        }
    }
}

TEST(HtmlCatalog, ExpandsVariablesNotesAndCaptions) {
    CatalogFixture f;
    f.add("x.jpg", "one\r\ntwo");
    f.add("y<1>.jpg");
    f.add("z.jpg");
    const auto result = f.run("; a comment\n"
                              "#LET N=0\n"
                              "#let i=\"7\"\n"
                              "*header\n"
                              "<img src=\"$FOLDER_L$\">\n"
                              "*ONE\n"
                              "#LET N=N+1\n"
                              "#LET T=\"line\\nbreak\"\n"
                              "N. $FILENAME$ $(PicName) [$NOTE$]\n"
                              "T\n");
    ASSERT_TRUE(result.ok);
    const std::string page = f.page("catalog.htm");
    // "i" is replaced inside "img" and "pics" alike.
    EXPECT_NE(page.find("<7mg src=\"p7cs\">"), std::string::npos) << page;
    EXPECT_NE(page.find("1. x.jpg x.jpg [one<BR>two]"), std::string::npos) << page;
    EXPECT_NE(page.find("2. y&lt;1&gt;.jpg y<1>.jpg [\xE3\x80\x80]"), std::string::npos) << page;
    EXPECT_NE(page.find("3. z.jpg"), std::string::npos);
    // A CR inside a line breaks it into further output lines.
    EXPECT_NE(page.find("\r\nl7ne\r\nbreak\r\n"), std::string::npos) << page;
}

TEST(HtmlCatalog, ACancelledRunLeavesNoFileOfItsOwn) {
    CatalogFixture f;
    for (int i = 0; i < 5; ++i)
        f.add("p" + std::to_string(i) + ".jpg");
    test::writeFile(f.request.outputFolder + "/catalog.htm", test::bytes({'o', 'l', 'd'}));
    f.request.options.pageCount = 2;
    f.request.options.linkFormat = 1;
    StoppingProgress progress(4);
    const auto result = f.run("*One\n$FILENAME$\n", &progress);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(progress.title, "HTMLの作成中");
    EXPECT_EQ(progress.total, 5);
    EXPECT_EQ(f.page("catalog.htm"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(f.request.outputFolder), {}), 1);
}

TEST(CatalogDefinition, ReadsMarkersSettingsAndLists) {
    // Shift-JIS text is read like UTF-8; markers ignore letter case.
    const std::string text = "#LET A=1\r\n"
                             "ignored preamble line\r\n"
                             "; comment\r\n"
                             "*HEADER extra\r\n"
                             "\x93\xfa\x96\x7b\r\n" // "日本" in Shift-JIS
                             "\r\n"
                             "#thumbs_width=80px\r\n"
                             "#THUMBS_HEIGHT=\r\n"
                             "#Version=2.5\r\n"
                             "#TABLE_OPTION= CELLPADDING=4\r\n"
                             "*One\r\nx\r\n*Footer\r\ny\r\n*One\r\nz";
    const CatalogDefinition d = parseCatalogDefinition(text, catalogDefaults(110, 90));
    EXPECT_EQ(d.preamble, (std::vector<std::string>{"#LET A=1", "ignored preamble line"}));
    EXPECT_EQ(d.header, (std::vector<std::string>{"日本", ""}));
    EXPECT_EQ(d.one, (std::vector<std::string>{"z"})); // a second marker starts it anew
    EXPECT_EQ(d.footer, (std::vector<std::string>{"y"}));
    EXPECT_EQ(d.thumbsWidth, 80);
    EXPECT_EQ(d.thumbsHeight, 0);
    EXPECT_DOUBLE_EQ(d.version, 2.5);
    EXPECT_EQ(d.tableOption, " CELLPADDING=4");
    EXPECT_FALSE(readCatalogDefinition("/nonexistent/x.kpm", {}).has_value());
}

TEST(CatalogText, BuildsLinksAndPageNames) {
    EXPECT_EQ(relativeLink("/a/b/out", "/a/b/pics", "x.jpg"), "../pics/x.jpg");
    EXPECT_EQ(relativeLink("/a/b", "/a/b", "x.jpg"), "x.jpg");
    EXPECT_EQ(relativeLink("/a/b/c/d", "/a/e", "x.jpg"), "../../../e/x.jpg");
    EXPECT_EQ(relativeLink("/a/b/", "/a/b/./sub/../", "x.jpg"), "x.jpg");
    EXPECT_EQ(pageFileName("catalog.htm", 1), "catalog.htm");
    EXPECT_EQ(pageFileName("catalog.htm", 12), "catalog-12.htm");
    EXPECT_EQ(pageFileName("list", 2), "list-2");
    EXPECT_EQ(urlEncoded("日 #%.jpg"), "%E6%97%A5%20%23%25.jpg");
    EXPECT_EQ(noteHtml("a\nb\rc<"), "a<BR>b<BR>c&lt;");
}

} // namespace
} // namespace vemra
