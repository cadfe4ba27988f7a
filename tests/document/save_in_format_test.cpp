#include "document/save_in_format.h"

#include "fake_picture_loader.h"
#include "folder_document_test_support.h"
#include "imaging/bmp_file.h"
#include "transfer_test_support.h"

#include <gtest/gtest.h>

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
        return goOn;
    }
    void beginProgress(int) override {}
    bool advance(std::string_view, int done) override { return done == stopAt; }
    void endProgress() override {}
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

} // namespace
} // namespace vemra
