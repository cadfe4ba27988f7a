#include "document/transfer_data.h"

#include "document/picture_notes.h"
#include "fake_picture_loader.h"
#include "folder_document_test_support.h"

#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Unpacks a member as the text "<archive>|<name>"; fails for names with
// "broken" in them.
class UnpackingLoader : public test::FakePictureLoader {
public:
    int extractMember(const PictureSource& entry, std::vector<std::byte>& out) override {
        if (entry.fileName.find("broken") != std::string::npos)
            return 2;
        const std::string text = entry.archiveFileName + "|" + entry.fileName;
        out.resize(text.size());
        std::memcpy(out.data(), text.data(), text.size());
        return 0;
    }
};

std::string text(const QByteArray& bytes) {
    return bytes.toStdString();
}

std::string bytesText(const std::vector<std::byte>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class TransferDataTest : public ::testing::Test {
protected:
    TransferDataTest() {
        f.doc.options().archive = true;
        f.doc.setPictureLoader(&loader);
    }
    void open() { f.doc.openFolder(f.folder(), nullptr, false); }
    int positionOf(const std::string& name, const std::string& archive = {}) {
        for (int i = 0; i < f.doc.displayedCount(); ++i) {
            const PictureSource* e = f.doc.entryAt(i);
            if (e->fileName == name && e->archiveFileName == archive)
                return i;
        }
        ADD_FAILURE() << "no entry " << name;
        return -1;
    }
    void select(const std::string& name, const std::string& archive = {}) {
        f.doc.setSelected(positionOf(name, archive), PictureSource::kSelected);
    }
    std::string path(const std::string& name) { return f.folder() + "/" + name; }

    test::DocFixture f;
    UnpackingLoader loader;
};

TEST(TransferData, AMemberFileNameNeverLeavesItsFolder) {
    EXPECT_EQ(memberFileName("pics/夏/海.jpg"), "海.jpg");
    EXPECT_EQ(memberFileName("..\\..\\boot.ini"), "boot.ini");
    EXPECT_EQ(memberFileName("../../.bashrc"), ".bashrc");
    EXPECT_EQ(memberFileName("folder/.."), "member");
    EXPECT_EQ(memberFileName("folder/"), "member");
    EXPECT_EQ(memberFileName(""), "member");
}

TEST(FileUri, EncodesEveryByteOutsideThePathCharactersAndReadsItBack) {
    EXPECT_EQ(fileUri("/pics/a b%c#d?.jpg"), "file:///pics/a%20b%25c%23d%3F.jpg");
    EXPECT_EQ(fileUri("/写真/夕焼け.png"),
              "file:///%E5%86%99%E7%9C%9F/%E5%A4%95%E7%84%BC%E3%81%91.png");
    EXPECT_EQ(fileUri("/a/(1)+x=y,z;@:!$&'~_-.bmp"), "file:///a/(1)+x=y,z;@:!$&'~_-.bmp");
    // A Shift-JIS name that is not UTF-8 still names its file exactly.
    const std::string sjis = "/pics/\x8e\xca\x90\x5e.jpg";
    for (const std::string& p : {std::string("/pics/a b%c#d?.jpg"), std::string("/写真/夕焼け.png"),
                                 sjis, std::string("/")}) {
        EXPECT_EQ(pathFromFileUri(fileUri(p)), p) << p;
    }
    EXPECT_EQ(pathFromFileUri("file://localhost/tmp/x%41"), "/tmp/xA");
    EXPECT_EQ(pathFromFileUri("FILE:/tmp/x"), "/tmp/x");
    EXPECT_EQ(pathFromFileUri("file:///tmp/x.jpg?query#part"), "/tmp/x.jpg");
    EXPECT_EQ(pathFromFileUri("file://server/share/x"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("http://host/x"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///bad%4"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///bad%zz"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///nul%00here"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:relative"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("fil"), std::nullopt);
}

TEST_F(TransferDataTest, CopyPutsTheSelectedPlainFilesInEveryFormatAndLeavesMembersOut) {
    f.put("a.jpg");
    f.put("b c%.jpg");
    f.put("夕焼け.png");
    f.put("skip.bmp");
    f.put("album.arc", "inner.jpg 10 0\n");
    open();
    ASSERT_EQ(f.doc.displayedCount(), 5);
    // A note on disk whose cell was never drawn must travel too.
    {
        PictureSource stored = *f.doc.entryAt(positionOf("夕焼け.png"));
        stored.note = "夕方\r\nの空";
        ASSERT_TRUE(saveNote(stored, ""));
    }
    f.doc.entryAt(positionOf("a.jpg"))->note = "first";
    f.doc.entryAt(positionOf("a.jpg"))->noteLoaded = true;
    for (const char* name : {"a.jpg", "b c%.jpg", "夕焼け.png"})
        select(name);
    select("inner.jpg", "album.arc");

    std::vector<std::string> order; // the selected plain files in display order
    std::vector<std::string> notes;
    for (int i = 0; i < f.doc.displayedCount(); ++i) {
        const PictureSource* e = f.doc.entryAt(i);
        if (!e->isSelected() || e->isArchiveMember())
            continue;
        order.push_back(e->fullPath());
        notes.push_back(e->fileName == "a.jpg"        ? "first"
                        : e->fileName == "夕焼け.png" ? "夕方\r\nの空"
                                                      : "");
    }
    ASSERT_EQ(order.size(), 3u);

    const auto data = makeClipboardData(f.doc, TransferKind::Copy);
    ASSERT_NE(data, nullptr);
    std::string expectedNotes;
    for (const std::string& n : notes) {
        expectedNotes += n;
        expectedNotes += '\0';
    }
    expectedNotes += '\0';
    EXPECT_EQ(text(data->data(mime::kNotes)), expectedNotes);
    std::string uris;
    std::string gnome = "copy";
    std::string tabbed;
    for (const std::string& p : order) {
        uris += fileUri(p);
        uris += "\r\n";
        gnome += '\n';
        gnome += fileUri(p);
        if (!tabbed.empty())
            tabbed += '\t';
        tabbed += p;
    }
    EXPECT_EQ(text(data->data(mime::kUriList)), uris);
    EXPECT_NE(uris.find("b%20c%25.jpg"), std::string::npos);
    EXPECT_NE(uris.find("%E5%A4%95%E7%84%BC%E3%81%91.png"), std::string::npos);
    EXPECT_EQ(text(data->data(mime::kGnomeCopiedFiles)), gnome);
    EXPECT_EQ(data->data(mime::kDropEffect), QByteArray("\x05\0\0\0", 4));
    EXPECT_FALSE(data->hasFormat(mime::kKdeCutSelection));
    EXPECT_EQ(text(data->data(mime::kPlainText)), tabbed);
    // Qt's own reading of the list gives back the very paths.
    ASSERT_EQ(data->urls().size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(data->urls()[i].toLocalFile().toStdString(), order[static_cast<size_t>(i)]);
    // The last selected file, decoded at full size.
    ASSERT_TRUE(data->hasImage());
    const QImage image = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(image.size(), QSize(loader.width, loader.height));

    const ClipboardFiles read = readClipboardFiles(*data);
    EXPECT_EQ(read.paths, order);
    EXPECT_FALSE(read.cut);
    EXPECT_EQ(read.notes, notes);
    EXPECT_TRUE(holdsFileList(*data));
    EXPECT_FALSE(holdsPictureOnly(*data));
}

TEST_F(TransferDataTest, CutMarksTheFilesAsCutForEveryKindOfReader) {
    f.put("one.jpg");
    open();
    select("one.jpg");
    const auto data = makeClipboardData(f.doc, TransferKind::Cut);
    ASSERT_NE(data, nullptr);
    std::string cut = "cut\n";
    cut += fileUri(path("one.jpg"));
    EXPECT_EQ(text(data->data(mime::kGnomeCopiedFiles)), cut);
    EXPECT_EQ(data->data(mime::kDropEffect), QByteArray("\x02\0\0\0", 4));
    EXPECT_EQ(text(data->data(mime::kKdeCutSelection)), "1");
    EXPECT_EQ(text(data->data(mime::kNotes)), std::string(2, '\0'));
    EXPECT_TRUE(readClipboardFiles(*data).cut);

    // Each reader's own mark alone is understood.
    QMimeData kde;
    kde.setData(mime::kUriList, "# a comment\r\nfile:///x/y.jpg\r\n\r\nhttp://remote/z.jpg\r\n");
    kde.setData(mime::kKdeCutSelection, "1");
    EXPECT_EQ(readClipboardFiles(kde).paths, std::vector<std::string>{"/x/y.jpg"});
    EXPECT_TRUE(readClipboardFiles(kde).cut);
    EXPECT_TRUE(readClipboardFiles(kde).notes.empty());
    QMimeData effect;
    effect.setData(mime::kUriList, "file:///x/y.jpg");
    effect.setData(mime::kDropEffect, QByteArray("\x05\0\0\0", 4));
    EXPECT_FALSE(readClipboardFiles(effect).cut);
    effect.setData(mime::kDropEffect, QByteArray("\x02\0\0\0", 4));
    EXPECT_TRUE(readClipboardFiles(effect).cut);
    QMimeData remoteOnly;
    remoteOnly.setData(mime::kUriList, "sftp://host/x.jpg\r\n");
    remoteOnly.setImageData(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_FALSE(holdsFileList(remoteOnly));
    EXPECT_TRUE(holdsPictureOnly(remoteOnly));
}

TEST_F(TransferDataTest, TextAndPictureFollowTheOptionsAndAnUndecodablePictureGivesNone) {
    f.put("good.jpg");
    f.put("bad.jpg");
    open();
    select("good.jpg");
    select("bad.jpg");
    const bool badIsLast = positionOf("bad.jpg") > positionOf("good.jpg");

    auto data = makeClipboardData(f.doc, TransferKind::Copy);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->hasImage(), !badIsLast);
    EXPECT_NE(text(data->data(mime::kPlainText)).find('\t'), std::string::npos);

    // Only the undecodable one: every other format is still there.
    f.doc.setSelected(positionOf("good.jpg"), 0);
    data = makeClipboardData(f.doc, TransferKind::Copy);
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasImage());
    EXPECT_EQ(text(data->data(mime::kPlainText)), path("bad.jpg"));
    EXPECT_TRUE(data->hasFormat(mime::kUriList));

    f.doc.setSelected(positionOf("good.jpg"), PictureSource::kSelected);
    f.doc.setSelected(positionOf("bad.jpg"), 0);
    f.doc.options().clipboardCopyText = false;
    f.doc.options().clipboardCopyDib = false;
    const int calls = loader.calls;
    data = makeClipboardData(f.doc, TransferKind::Copy);
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasFormat(mime::kPlainText));
    EXPECT_FALSE(data->hasFormat("text/plain"));
    EXPECT_FALSE(data->hasImage());
    EXPECT_EQ(loader.calls, calls); // nothing decoded for nothing
}

TEST_F(TransferDataTest, NothingGoesOnTheClipboardWithoutASelectedPlainFile) {
    f.put("a.jpg");
    f.put("album.arc", "x.jpg 1 0\ny.png 1 0\n");
    open();
    EXPECT_EQ(makeClipboardData(f.doc, TransferKind::Copy), nullptr);
    select("x.jpg", "album.arc");
    select("y.png", "album.arc");
    EXPECT_EQ(makeClipboardData(f.doc, TransferKind::Cut), nullptr);
}

TEST_F(TransferDataTest, ADragUnpacksMembersOnlyWhenAskedAndDeletesThemAfterwards) {
    f.put("plain.jpg");
    f.put("one.arc", "pic.jpg 5 0\nsub/deep.png 5 0\nbroken.jpg 5 0\n");
    f.put("two.arc", "pic.jpg 5 0\n");
    open();
    f.doc.entryAt(positionOf("plain.jpg"))->note = "memo";
    f.doc.entryAt(positionOf("plain.jpg"))->noteLoaded = true;
    for (int i = 0; i < f.doc.displayedCount(); ++i)
        f.doc.setSelected(i, PictureSource::kSelected);

    std::string folder;
    {
        DragFiles files(f.doc);
        EXPECT_EQ(files.plainFiles(), std::vector<std::string>{path("plain.jpg")});
        EXPECT_EQ(bytesText(files.notes()), std::string("memo\0\0", 6));
        EXPECT_FALSE(files.rendered());
        const std::vector<std::string> list = files.render();
        EXPECT_EQ(&files.render(), &files.render()); // unpacked once
        // The plain file first, then the three members that could be
        // unpacked; the two of the same name do not overwrite each other.
        ASSERT_EQ(list.size(), 4u);
        EXPECT_EQ(list[0], path("plain.jpg"));
        std::multiset<std::string> contents;
        std::set<std::string> names;
        for (std::size_t i = 1; i < list.size(); ++i) {
            contents.insert(bytesText(test::readFile(list[i])));
            names.insert(fs::path(list[i]).filename().string());
            EXPECT_EQ(list[i].find(f.folder()), std::string::npos);
        }
        EXPECT_EQ(contents, (std::multiset<std::string>{"one.arc|pic.jpg", "two.arc|pic.jpg",
                                                        "one.arc|sub/deep.png"}));
        EXPECT_EQ(names, (std::set<std::string>{"pic.jpg", "deep.png"}));
        folder = fs::path(list[1]).parent_path().string();
        if (fs::path(list[1]).parent_path().filename() == "2")
            folder = fs::path(folder).parent_path().string();
        EXPECT_TRUE(fs::exists(list[1]));
        files.discardUnpacked();
        for (std::size_t i = 1; i < list.size(); ++i)
            EXPECT_FALSE(fs::exists(list[i]));
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_TRUE(fs::exists(path("plain.jpg")));
    }
}

TEST_F(TransferDataTest, AfterAMoveExactlyTheVanishedPlainFilesLeaveWithTheirHints) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        f.put(name);
    open();
    select("a.jpg");
    select("b.jpg");
    select("d.jpg");
    DragFiles files(f.doc);
    const int b = positionOf("b.jpg");
    const int d = positionOf("d.jpg");
    fs::remove(path("b.jpg"));
    fs::remove(path("d.jpg"));
    fs::remove(path("c.jpg")); // gone too, but it was not dragged
    f.view.hints.clear();
    EXPECT_EQ(files.removeVanished(nullptr), 2);
    EXPECT_EQ(f.displayedSorted(), (std::vector<std::string>{"a.jpg", "c.jpg"}));
    ASSERT_EQ(f.view.numbers(), (std::vector<int>{17, 17, 0}));
    // From the last position to the first, so each number is still right.
    EXPECT_EQ(f.view.hints[0], UpdateHint(hint::EntryRemoved{std::max(b, d)}));
    EXPECT_EQ(f.view.hints[1], UpdateHint(hint::EntryRemoved{std::min(b, d)}));
    f.view.hints.clear();
    EXPECT_EQ(files.removeVanished(nullptr), 0);
    EXPECT_TRUE(f.view.hints.empty());
}

TEST_F(TransferDataTest, ADragDataObjectAsksItsRendererOnceAndOnlyForTheList) {
    // Without a renderer the list stays empty, and asking again does not
    // ask again.
    DragMimeData data(noteClipboardBytes({"n"}));
    EXPECT_TRUE(data.hasFormat(mime::kUriList));
    EXPECT_TRUE(data.formats().contains(mime::kUriList));
    EXPECT_TRUE(data.formats().contains(mime::kNotes));
    EXPECT_FALSE(data.rendered());
    EXPECT_EQ(text(data.data(mime::kNotes)), std::string("n\0\0", 3));
    EXPECT_FALSE(data.rendered());
    EXPECT_TRUE(data.data(mime::kUriList).isEmpty());
    data.setFileList({"/p q/r.jpg"});
    EXPECT_EQ(text(data.data(mime::kUriList)), "file:///p%20q/r.jpg\r\n");
    ASSERT_EQ(data.urls().size(), 1);
    EXPECT_EQ(data.urls()[0].toLocalFile(), QStringLiteral("/p q/r.jpg"));

    // A renderer is asked about its own data object, once, and only when
    // the list is wanted; one with nothing to give is not asked again; one
    // whose source is gone is never asked.
    struct Case {
        std::optional<std::vector<std::string>> answer;
        bool sourceGone;
        int asked;
        std::string list;
    };
    const std::vector<Case> cases = {
        {std::vector<std::string>{"/a.jpg", "/b c.png"}, false, 1,
         "file:///a.jpg\r\nfile:///b%20c.png\r\n"},
        {std::nullopt, false, 1, ""},
        {std::vector<std::string>{"/a.jpg"}, true, 0, ""},
    };
    for (const Case& c : cases) {
        auto source = std::make_unique<QObject>();
        int asked = 0;
        const DragMimeData* askedAbout = nullptr;
        DragMimeData renderable(noteClipboardBytes({"n"}), source.get(),
                                [&](const DragMimeData& asking) {
                                    ++asked;
                                    askedAbout = &asking;
                                    return c.answer;
                                });
        if (c.sourceGone)
            source.reset();
        EXPECT_FALSE(renderable.data(mime::kNotes).isEmpty());
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(text(renderable.data(mime::kUriList)), c.list);
        EXPECT_EQ(text(renderable.data(mime::kUriList)), c.list);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(askedAbout, c.asked > 0 ? &renderable : nullptr);
    }
}

} // namespace
} // namespace vemra
