#include "framework/ensure_folder.h"
#include "framework/ensure_folder_box.h"
#include "framework/message_box.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vemra {
namespace {

namespace fs = std::filesystem;

struct Dialogue {
    std::vector<std::string> questions;
    std::vector<std::string> reports;
    bool answer = true;

    std::function<bool(const std::string&)> ask() {
        return [this](const std::string& q) {
            questions.push_back(q);
            return answer;
        };
    }
    std::function<void(const std::string&)> report() {
        return [this](const std::string& r) { reports.push_back(r); };
    }
};

TEST(EnsureFolder, AsksThenCreatesEveryMissingParent) {
    test::TempDir dir;
    const std::string path = dir.file("a/b/c");
    Dialogue talk;
    EXPECT_EQ(ensureFolder(path, talk.ask(), talk.report()), EnsureFolderResult::Created);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(talk.questions,
              std::vector<std::string>{path + " \nフォルダが存在しません．新しく作成しますか？"});
    EXPECT_TRUE(talk.reports.empty());

    // There now: no question.
    EXPECT_EQ(ensureFolder(path, talk.ask(), talk.report()), EnsureFolderResult::Exists);
    EXPECT_EQ(talk.questions.size(), 1u);
}

TEST(EnsureFolder, NoMeansNothingIsMade) {
    test::TempDir dir;
    const std::string path = dir.file("x/y");
    Dialogue talk;
    talk.answer = false;
    EXPECT_EQ(ensureFolder(path, talk.ask(), talk.report()), EnsureFolderResult::Declined);
    EXPECT_FALSE(fs::exists(dir.file("x")));
    EXPECT_FALSE(folderReady(EnsureFolderResult::Declined));
}

TEST(EnsureFolder, TheSilentVariantCreatesWithoutAsking) {
    test::TempDir dir;
    const std::string path = dir.file("p/q/");
    Dialogue talk;
    EXPECT_EQ(ensureFolder(path, {}, talk.report()), EnsureFolderResult::Created);
    EXPECT_TRUE(fs::is_directory(dir.file("p/q")));
}

TEST(EnsureFolder, FailuresReportThePathAndTheSystemsReason) {
    test::TempDir dir;
    const std::string file = dir.file("file.txt");
    std::ofstream(file) << "x";
    Dialogue talk;

    // A folder under a file can not be made.
    const std::string under = file + "/sub";
    EXPECT_EQ(ensureFolder(under, talk.ask(), talk.report()), EnsureFolderResult::Failed);
    ASSERT_EQ(talk.reports.size(), 1u);
    EXPECT_EQ(talk.reports[0], under + " \n" + std::generic_category().message(ENOTDIR));

    // A file of that very name is not taken for the folder, nor asked about.
    talk.questions.clear();
    EXPECT_EQ(ensureFolder(file, talk.ask(), talk.report()), EnsureFolderResult::Failed);
    EXPECT_TRUE(talk.questions.empty());
    EXPECT_EQ(talk.reports.size(), 2u);

    EXPECT_EQ(ensureFolder("", {}, talk.report()), EnsureFolderResult::Failed);
    EXPECT_EQ(ensureFolder("", {}, {}), EnsureFolderResult::Failed); // no reporter: no crash
}

TEST(EnsureFolder, ARefusedParentIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    test::TempDir dir;
    const std::string locked = dir.file("locked");
    fs::create_directory(locked);
    ::chmod(locked.c_str(), 0500);
    Dialogue talk;
    EXPECT_EQ(ensureFolder(locked + "/new", {}, talk.report()), EnsureFolderResult::Failed);
    ::chmod(locked.c_str(), 0700);
    ASSERT_EQ(talk.reports.size(), 1u);
    EXPECT_EQ(talk.reports[0], locked + "/new \n" + std::generic_category().message(EACCES));
}

TEST(EnsureFolder, TheBoxesAskAndReport) {
    test::TempDir dir;
    std::vector<std::pair<MessageKind, std::string>> shown;
    MessageAnswer answer = MessageAnswer::Yes;
    ScopedMessageBoxResponder responder(
        [&](MessageKind kind, MessageButtons buttons, std::string_view text) {
            shown.emplace_back(kind, std::string(text));
            EXPECT_EQ(buttons,
                      kind == MessageKind::Question ? MessageButtons::YesNo : MessageButtons::Ok);
            return kind == MessageKind::Question ? answer : MessageAnswer::Ok;
        });

    EXPECT_TRUE(ensureFolderAsking(nullptr, dir.file("one/two")));
    EXPECT_TRUE(fs::is_directory(dir.file("one/two")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, MessageKind::Question);

    answer = MessageAnswer::No;
    EXPECT_FALSE(ensureFolderAsking(nullptr, dir.file("three")));
    EXPECT_FALSE(fs::exists(dir.file("three")));

    std::ofstream(dir.file("plain")) << "x";
    shown.clear();
    EXPECT_FALSE(ensureFolderSilently(nullptr, dir.file("plain/four")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, MessageKind::Warning);
    EXPECT_EQ(shown[0].second.rfind(dir.file("plain/four") + " \n", 0), 0u);
    EXPECT_TRUE(ensureFolderSilently(nullptr, dir.file("five/six")));
}

} // namespace
} // namespace vemra
