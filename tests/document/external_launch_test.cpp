#include "document/external_launch.h"
#include "document/picture_source.h"
#include "settings/settings_store.h"

#include "../imaging/test_support.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace vemra {
namespace {

namespace fs = std::filesystem;

PictureSource picture(const std::string& folder, const std::string& name,
                      const std::string& archive = {}) {
    PictureSource entry;
    entry.folder = folder;
    entry.fileName = name;
    entry.archiveFileName = archive;
    return entry;
}

std::vector<const PictureSource*> pointers(const std::vector<PictureSource>& entries) {
    std::vector<const PictureSource*> out;
    for (const PictureSource& e : entries)
        out.push_back(&e);
    return out;
}

TEST(ExternalLaunch, CommandLinesFollowTheQuotingAndPerFileRules) {
    EXPECT_EQ(quotedCommand("/opt/My Viewer/view"), "\"/opt/My Viewer/view\"");
    EXPECT_EQ(quotedCommand("\"/opt/My Viewer/view\" -a"), "\"/opt/My Viewer/view\" -a");
    EXPECT_EQ(quotedCommand("gimp"), "gimp");
    EXPECT_EQ(splitCommandLine("\"/opt/My Viewer/view\" -a  \"b c\"d "),
              (std::vector<std::string>{"/opt/My Viewer/view", "-a", "b cd"}));

    const std::vector<PictureSource> entries = {
        picture("/p", "a.jpg"), picture("/p", "inner.jpg", "set.zip"), picture("/q", "b.jpg")};
    ExternalApp app{"View", "/opt/My Viewer/view", "$(PicPath)", "", false};
    auto once = planLaunch(app, pointers(entries));
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(once[0].commandLine, "\"/opt/My Viewer/view\" /p/a.jpg /q/b.jpg");
    EXPECT_EQ(once[0].program, "/opt/My Viewer/view");
    EXPECT_EQ(once[0].arguments, (std::vector<std::string>{"/p/a.jpg", "/q/b.jpg"}));
    EXPECT_EQ(once[0].folder, "/opt/My Viewer");

    app.launchPerFile = true;
    app.folder = "$(PicDir)";
    const auto each = planLaunch(app, pointers(entries));
    ASSERT_EQ(each.size(), 2u);
    EXPECT_EQ(each[1].commandLine, "\"/opt/My Viewer/view\" /q/b.jpg");
    EXPECT_EQ(each[1].folder, "/q");

    // Only archive members: once without arguments, or not at all.
    const std::vector<PictureSource> members = {picture("/p", "m.jpg", "set.zip")};
    EXPECT_TRUE(planLaunch(app, pointers(members)).empty());
    app.launchPerFile = false;
    const auto bare = planLaunch(app, pointers(members));
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_TRUE(bare[0].arguments.empty());
}

// Waits (handling events) until the record holds `lines` lines.
std::vector<std::string> waitForLines(const std::string& path, std::size_t lines) {
    std::vector<std::string> out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        out.clear();
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        if (out.size() >= lines)
            break;
        QThread::msleep(20);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ExternalLaunch, TheThreeFormsStartTheProgramWithItsArgumentsAndFolder) {
    test::TempDir dir;
    // The program lies in a folder with a blank, registered unquoted.
    const fs::path programFolder = dir.path() / "my apps";
    fs::create_directories(programFolder);
    const fs::path program = programFolder / "record";
    fs::copy_file(VEMRA_LAUNCH_RECORDER, program);
    const fs::path pictures = dir.path() / "pictures";
    fs::create_directories(pictures / "sub");
    const std::vector<PictureSource> entries = {picture(pictures.string(), "a.jpg"),
                                                picture((pictures / "sub").string(), "b c.jpg"),
                                                picture(pictures.string(), "m.jpg", "x.zip")};
    const std::string record = dir.file("record.txt");
    qputenv("VEMRA_LAUNCH_RECORD", QByteArray::fromStdString(record));

    struct Form {
        bool perFile;
        const char* arguments;
        const char* folder;
        std::vector<std::string> lines;
    };
    const std::string p = pictures.string();
    const Form forms[] = {
        // All at once, in the program's folder (the arguments are split at
        // blanks: quoting them is the user's business).
        {false,
         "$(PicPath)",
         "",
         {programFolder.string() + "\t" + p + "/a.jpg\t" + p + "/sub/b\tc.jpg"}},
        // Once per picture, in the program's folder.
        {true,
         "\"$(PicName)\"",
         "",
         {programFolder.string() + "\ta.jpg", programFolder.string() + "\tb c.jpg"}},
        // A run folder from each picture.
        {true, "-x", "$(PicDir)", {p + "\t-x", p + "/sub\t-x"}},
    };
    for (const Form& form : forms) {
        fs::remove(record);
        const ExternalApp app{"Rec", program.string(), form.arguments, form.folder, form.perFile};
        std::vector<std::string> failures;
        const int started =
            launchExternalApp(app, pointers(entries), startDetachedProcess,
                              [&](const std::string& text) { failures.push_back(text); });
        EXPECT_EQ(started, static_cast<int>(form.lines.size()));
        EXPECT_TRUE(failures.empty());
        std::vector<std::string> expected = form.lines;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(waitForLines(record, expected.size()), expected) << form.arguments;
    }

    // A program that is not there: the reason and the command line, and no
    // further pictures.
    const ExternalApp missing{"None", dir.file("nothing here"), "$(PicName)", "", true};
    std::vector<std::string> failures;
    EXPECT_EQ(launchExternalApp(missing, pointers(entries), startDetachedProcess,
                                [&](const std::string& text) { failures.push_back(text); }),
              0);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("\n\n[\"" + dir.file("nothing here") + "\" a.jpg]"),
              std::string::npos)
        << failures[0];
}

TEST(ExternalLaunch, WritingEmptiesTheEntriesPastTheList) {
    test::TempDir dir;
    SettingsStore store(dir.file("s.ini"));
    std::vector<ExternalApp> apps = {
        {"A", "a", "", "", false}, {"B", "b", "$(PicPath)", "/t", true}, {"C", "c", "", "", false}};
    writeExternalApps(store, apps, 0);
    EXPECT_EQ(readExternalApps(store).size(), 3u);
    apps.erase(apps.begin());
    writeExternalApps(store, apps, 3);
    const auto back = readExternalApps(store);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].title, "B");
    EXPECT_TRUE(back[0].launchPerFile);
    EXPECT_EQ(back[0].folder, "/t");
    EXPECT_EQ(store.getText("AppCall", "App2\\Title", "x"), "");
}

} // namespace
} // namespace vemra
