#include "document/save_in_format.h"

#include "../imaging/colour_test_support.h"
#include "../imaging/orientation_pictures.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "fake_picture_loader.h"
#include "folder_document_test_support.h"
#include "imaging/bmp_file.h"
#include "imaging/decoder_registry.h"
#include "imaging/embedded_profile.h"
#include "settings/settings_store.h"
#include "transfer_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Answers the questions from a script and records them.
class ScriptedSaveQuestions final : public SaveQuestions {
public:
    std::vector<SameNameAnswer> answers;
    std::vector<std::string> asked;
    std::vector<std::string> failed;
    bool goOn = true;
    int stopAt = -1;

    SameNameAnswer overwrite(const PictureSource& entry, const std::string& target) override {
        asked.push_back(entry.fileName + ">" + fs::path(target).filename().string());
        if (answers.empty())
            return {};
        SameNameAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    bool continueAfterFailure(const std::string& name) override {
        failed.push_back(name);
        if (onFailure)
            onFailure();
        return goOn;
    }
    void beginProgress(int) override {}
    bool advance(std::string_view, int done) override {
        if (onAdvance)
            onAdvance(done);
        return done == stopAt;
    }
    void endProgress() override {}
    std::function<void(int)> onAdvance;
    std::function<void()> onFailure;
};

class SaveInFormatTest : public ::testing::Test {
protected:
    SaveInFormatTest() { f.doc.setPictureLoader(&loader); }
    std::vector<int> all() {
        f.doc.openFolder(f.folder(), nullptr, false);
        std::vector<int> positions;
        for (int i = 0; i < f.doc.displayedCount(); ++i)
            positions.push_back(i);
        return positions;
    }
    std::string out(const std::string& name) const { return (target.path() / name).string(); }

    test::DocFixture f;
    test::FakePictureLoader loader;
    test::TempDir target;
    ScriptedSaveQuestions questions;
};

TEST_F(SaveInFormatTest, FactorHalvesAndAnExistingTargetIsAskedAbout) {
    loader.width = 1000;
    loader.height = 750;
    f.put("a.jpeg");
    f.put("b.jpg");
    test::putFile(out("a.png"), "there");
    ConversionSettings settings;
    settings.options.format = SaveFormatOptions::Png;
    settings.options.sizeMode = SaveFormatOptions::Factor;
    settings.options.scale = "0.5";
    // "以降全て" with "スキップ": the existing file stays, the question is not
    // asked again.
    questions.answers.push_back({true, SameNameAction::Skip, true, {}});
    EXPECT_EQ(saveEntriesInFormat(f.doc, all(), target.path().string(), settings, questions), 1);
    EXPECT_EQ(questions.asked, (std::vector<std::string>{"a.jpeg>a.png"}));
    EXPECT_EQ(test::contentOf(out("a.png")), "there");
    EXPECT_EQ(test::readFile(out("b.png")).size() > 8 ? test::readFile(out("b.png"))[1]
                                                      : std::byte{0},
              std::byte{'P'});

    // A numbered name, and "中止" before the second picture.
    questions.answers.push_back({true, SameNameAction::AutoNumber, false, {}});
    questions.stopAt = 1;
    EXPECT_EQ(saveEntriesInFormat(f.doc, all(), target.path().string(), settings, questions), 1);
    EXPECT_TRUE(fs::exists(out("a-2.png")));
}

TEST_F(SaveInFormatTest, UndecodablePicturesAskWhetherToGoOnAndCancelEnds) {
    f.put("bad.jpg");
    f.put("c.jpg");
    f.put("d.jpg");
    test::putFile(out("d.bmp"), "old");
    ConversionSettings settings;
    settings.options.sizeMode = SaveFormatOptions::FitSize;
    settings.options.width = 100;
    settings.options.height = 100;
    settings.options.bmpQuant = 8;
    questions.goOn = true;
    // Cancel in the overwrite question ends the command.
    EXPECT_EQ(saveEntriesInFormat(f.doc, all(), target.path().string(), settings, questions), 1);
    EXPECT_EQ(questions.failed, (std::vector<std::string>{"bad.jpg"}));
    const ReadResult c = readBmpFile(out("c.bmp"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c.picture.width(), 100);
    EXPECT_EQ(c.picture.height(), 75);
    EXPECT_EQ(c.picture.bitCount(), 8);
    EXPECT_EQ(test::contentOf(out("d.bmp")), "old");

    questions.goOn = false;
    questions.failed.clear();
    EXPECT_EQ(saveEntriesInFormat(f.doc, all(), target.path().string(), settings, questions), 0);
    EXPECT_EQ(questions.failed.size(), 1u);
}

// The files of a folder by name, with their bytes.
std::map<std::string, std::vector<std::byte>> filesIn(const std::string& folder) {
    std::map<std::string, std::vector<std::byte>> files;
    if (fs::is_directory(folder)) {
        for (const auto& file : fs::directory_iterator(folder))
            files[file.path().filename().string()] = test::readFile(file.path().string());
    }
    return files;
}

// Saves every picture of `folder` with real decoders on a document of
// `workers` threads; the files written, by name.
std::map<std::string, std::vector<std::byte>>
saveWithDecoders(const std::string& folder, const ConversionSettings& settings, int workers) {
    test::TempDir scratch;
    SettingsStore store(scratch.file("settings.ini"));
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    const RegistryScanServices services(registry);
    RegistryPictureLoader loader(registry);
    ThumbCache cache;
    DocumentOptions options;
    options.thumbWorkers = workers;
    FolderDocument doc(services, cache, options);
    doc.setPictureLoader(&loader);
    doc.openFolder(folder, nullptr, false);
    std::vector<int> positions;
    for (int i = 0; i < doc.displayedCount(); ++i)
        positions.push_back(i);
    ScriptedSaveQuestions questions;
    const std::string out = scratch.file("out");
    const int written = saveEntriesInFormat(doc, positions, out, settings, questions);
    auto files = filesIn(out);
    EXPECT_EQ(written, static_cast<int>(files.size()));
    return files;
}

ConversionSettings conversion(int format, int sizeMode, int angle, int scaleMode, int quant) {
    ConversionSettings settings;
    settings.options.format = format;
    settings.options.sizeMode = sizeMode;
    settings.options.width = 64;
    settings.options.height = 64;
    settings.options.scale = "0.5";
    settings.options.rotateAngle = angle;
    settings.options.scaleMode = scaleMode;
    settings.options.unsharp = format == SaveFormatOptions::Jpeg;
    settings.options.jpegQuality = 85;
    settings.options.bmpQuant = quant;
    settings.options.pngQuant = quant;
    return settings;
}

TEST(SaveInFormatThreads, SeveralThreadsWriteTheBytesOfOne) {
    test::TempDir pictures;
    const fs::path samples = fs::path(VEMRA_SOURCE_DIR) / "samples";
    for (const auto& file : fs::directory_iterator(samples)) {
        const std::string ext = file.path().extension().string();
        if (ext == ".jpg" || ext == ".png" || ext == ".bmp" || ext == ".tif" || ext == ".gif")
            fs::copy_file(file.path(), pictures.path() / file.path().filename());
    }
    // A photograph taken sideways and pictures tagged with a wide-gamut
    // profile: turned upright, and JPEG and PNG carry the profile.
    test::writeOrientedJpeg(pictures.file("sideways.jpg"), 6);
    const PictureBuffer pattern = test::patternPicture(96, 64, 24);
    test::writeFile(pictures.file("adobe-j.jpg"),
                    test::jpegWithProfile(pattern, test::adobeRgbProfile()));
    test::writeFile(pictures.file("adobe-p.png"),
                    test::pngWithProfile(pattern, test::adobeRgbProfile()));
    if (test::hasTestData()) {
        // A few conformance pictures of each kind, when the corpus is there.
        for (const char* kind : {"jpeg", "png", "bmp"}) {
            std::vector<fs::path> found;
            for (const auto& file : fs::recursive_directory_iterator(test::testDataDir() / kind))
                if (file.is_regular_file())
                    found.push_back(file.path());
            std::sort(found.begin(), found.end());
            for (std::size_t i = 0; i < found.size() && i < 3; ++i)
                fs::copy_file(found[i], pictures.path() / (std::string(kind) + "-" +
                                                           found[i].filename().string()));
        }
    }
    const struct {
        const char* what;
        ConversionSettings settings;
    } cases[] = {
        {"PNG at its size", conversion(SaveFormatOptions::Png, 0, 0, 2, 0)},
        {"JPEG fitted, sharpened", conversion(SaveFormatOptions::Jpeg, 1, 0, 10, 0)},
        {"BMP halved, turned, 256 colours", conversion(SaveFormatOptions::Bmp, 2, 90, 3, 8)},
        {"PNG at an angle, 256 colours", conversion(SaveFormatOptions::Png, 0, 30, 2, 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto one = saveWithDecoders(pictures.path().string(), c.settings, 1);
        const auto several = saveWithDecoders(pictures.path().string(), c.settings, 3);
        EXPECT_GE(one.size(), 12u);
        EXPECT_EQ(one.size(), several.size());
        for (const auto& [name, bytes] : one) {
            const auto other = several.find(name);
            ASSERT_NE(other, several.end()) << name;
            EXPECT_TRUE(bytes == other->second) << name;
        }
        if (c.settings.options.format != SaveFormatOptions::Bmp) {
            const std::string ext = c.settings.options.extension();
            for (const char* name : {"adobe-j", "adobe-p"})
                EXPECT_FALSE(embeddedColourProfile(std::span(one.at(name + ext))).empty());
        }
    }
}

// A loader whose pictures are as wide as their table says, so that a
// written file tells which picture it came from.
class WidthsLoader final : public PictureLoader {
public:
    explicit WidthsLoader(std::map<std::string, int> widths) : m_widths(std::move(widths)) {}
    int loadForThumbnail(PictureSource& entry, int, int, PictureBuffer& out) override {
        const auto width = m_widths.find(entry.fileName);
        if (width == m_widths.end())
            return -1;
        out = test::patternPicture(width->second, 10, 24);
        entry.pictureWidth = width->second;
        entry.pictureHeight = 10;
        entry.bitCount = 24;
        return 0;
    }

private:
    const std::map<std::string, int> m_widths;
};

int widthOf(const std::string& path) {
    const ReadResult read = readBmpFile(path);
    return read ? read.picture.width() : -1;
}

TEST_F(SaveInFormatTest, SameNameAnswersApplyInFileOrder) {
    WidthsLoader widths(
        {{"a.jpg", 11}, {"a.png", 12}, {"b.jpg", 13}, {"e.jpg", 14}, {"e.png", 15}});
    f.doc.options().thumbWorkers = 3;
    f.doc.setPictureLoader(&widths);
    for (const char* name : {"a.jpg", "a.png", "b.jpg", "e.jpg", "e.png"})
        f.put(name);
    for (const char* name : {"a.bmp", "b.bmp", "x.bmp"})
        test::putFile(out(name), "old");
    const std::vector<int> positions = all();
    ASSERT_EQ(f.displayed(),
              (std::vector<std::string>{"a.jpg", "a.png", "b.jpg", "e.jpg", "e.png"}));
    // a.jpg: renamed to x.bmp, which exists too and is asked about, then to
    // y.bmp; a.png: numbered, for all that follow. e.png's target is the one
    // e.jpg writes just before it: it is numbered too.
    questions.answers = {{true, SameNameAction::Rename, false, out("x.bmp")},
                         {true, SameNameAction::Rename, false, out("y.bmp")},
                         {true, SameNameAction::AutoNumber, true, {}}};
    ConversionSettings settings;
    settings.options.scaleMode = 2;
    EXPECT_EQ(saveEntriesInFormat(f.doc, positions, target.path().string(), settings, questions),
              5);
    EXPECT_EQ(questions.asked,
              (std::vector<std::string>{"a.jpg>a.bmp", "a.jpg>x.bmp", "a.png>a.bmp"}));
    EXPECT_EQ(widthOf(out("y.bmp")), 11);
    EXPECT_EQ(widthOf(out("a-2.bmp")), 12);
    EXPECT_EQ(widthOf(out("b-2.bmp")), 13);
    EXPECT_EQ(widthOf(out("e.bmp")), 14);
    EXPECT_EQ(widthOf(out("e-2.bmp")), 15);
    for (const char* name : {"a.bmp", "b.bmp", "x.bmp"})
        EXPECT_EQ(test::contentOf(out(name)), "old") << name;
    EXPECT_EQ(filesIn(target.path().string()).size(), 8u);
}

TEST_F(SaveInFormatTest, AnEndedBatchLeavesTheFilesOfThePicturesBeforeItAndNothingElse) {
    // Each way of ending at the fourth picture, with pictures being
    // converted ahead of it on several threads.
    enum class End { Cancel, NoAfterFailure, CancelledQuestion };
    for (const End end : {End::Cancel, End::NoAfterFailure, End::CancelledQuestion}) {
        SCOPED_TRACE(static_cast<int>(end));
        test::DocFixture fixture;
        test::FakePictureLoader slow;
        slow.width = 64;
        slow.height = 48;
        slow.delayMs = 30;
        fixture.doc.options().thumbWorkers = 3;
        fixture.doc.setPictureLoader(&slow);
        for (int i = 0; i < 12; ++i)
            fixture.put("p" + std::to_string(10 + i) +
                        (i == 3 && end == End::NoAfterFailure ? "bad" : "") + ".jpg");
        test::TempDir dest;
        if (end == End::CancelledQuestion)
            test::putFile((dest.path() / "p13.bmp").string(), "old");
        fixture.doc.openFolder(fixture.folder(), nullptr, false);
        std::vector<int> positions;
        for (int i = 0; i < fixture.doc.displayedCount(); ++i)
            positions.push_back(i);
        ScriptedSaveQuestions script;
        script.stopAt = end == End::Cancel ? 3 : -1;
        script.goOn = false;
        // The batch is stopped only once later pictures are under way, so
        // the case is the one meant however the threads are scheduled.
        const auto laterPicturesStarted = [&slow] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (slow.calls.load() <= 4 && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        script.onAdvance = [&](int done) {
            if (done == 3)
                laterPicturesStarted();
        };
        script.onFailure = laterPicturesStarted;
        ConversionSettings settings;
        settings.options.scaleMode = 2;
        EXPECT_EQ(
            saveEntriesInFormat(fixture.doc, positions, dest.path().string(), settings, script), 3);
        auto files = filesIn(dest.path().string());
        std::vector<std::string> names;
        for (const auto& [name, bytes] : files) {
            names.push_back(name);
            if (name != "p13.bmp") {
                EXPECT_EQ(widthOf((dest.path() / name).string()), 64) << name;
            }
        }
        std::vector<std::string> expected{"p10.bmp", "p11.bmp", "p12.bmp"};
        if (end == End::CancelledQuestion)
            expected.push_back("p13.bmp");
        EXPECT_EQ(names, expected);
        if (end == End::CancelledQuestion) {
            EXPECT_EQ(test::contentOf((dest.path() / "p13.bmp").string()), "old");
        } else {
            // The later pictures were under way: they were decoded, and then
            // not kept.
            EXPECT_GT(slow.calls.load(), 4);
        }
    }
}

TEST_F(SaveInFormatTest, EntriesRemovedWhileTheBatchRunsDoNotDisturbIt) {
    loader.delayMs = 20;
    f.doc.options().thumbWorkers = 2;
    f.doc.setPictureLoader(&loader);
    for (int i = 0; i < 8; ++i)
        f.put("q" + std::to_string(i) + ".jpg");
    const std::vector<int> positions = all();
    // The folder changes under the batch and is read again: the pictures
    // handed out go on from their copies, the rest are not there any more.
    bool rescanned = false;
    questions.onAdvance = [&](int done) {
        if (rescanned || done < 1)
            return;
        rescanned = true;
        for (int i = 2; i < 8; ++i)
            fs::remove(f.dir.path() / ("q" + std::to_string(i) + ".jpg"));
        f.doc.openFolder(f.folder(), nullptr, false);
    };
    ConversionSettings settings;
    settings.options.scaleMode = 2;
    const int written =
        saveEntriesInFormat(f.doc, positions, target.path().string(), settings, questions);
    EXPECT_TRUE(rescanned);
    EXPECT_GE(written, 2);
    EXPECT_EQ(static_cast<int>(filesIn(target.path().string()).size()), written);
    EXPECT_EQ(f.doc.displayedCount(), 2);
}

} // namespace
} // namespace vemra
