// The options every vemra-cli command takes, before or after the command
// name, run as a script would run them.

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace vemra {
namespace {

using test::shellQuoted;

TEST(CliGlobalOptions, HoldBeforeOrAfterTheCommand) {
    test::TempDir dir;
    std::ofstream(dir.file("a.ini")) << "[KPDoc]\nPathMask=A\n";
    std::ofstream(dir.file("b.ini")) << "[KPDoc]\nPathMask=B\n";
    test::writeFile(dir.file("p.jpg"), test::bytes({1, 2, 3}));
    const std::string a = shellQuoted(dir.file("a.ini"));
    const std::string b = shellQuoted(dir.file("b.ini"));
    const std::string none = shellQuoted(dir.file("none"));
    const std::string picture = shellQuoted(dir.file("p.jpg"));
    const std::string folder = shellQuoted(dir.path().string());
    struct Case {
        std::string line;
        int status;
        std::string out; // found in stdout and stderr together
    };
    const Case cases[] = {
        {"--settings " + a + " settings get KPDoc PathMask", 0, "A\n"},
        {"settings get KPDoc PathMask --settings " + a, 0, "A\n"},
        {"settings --settings=" + a + " get KPDoc PathMask", 0, "A\n"},
        // Given twice, the later one holds.
        {"--settings " + b + " settings get KPDoc PathMask --settings " + a, 0, "A\n"},
        // After "--" an option is the command's value.
        {"--settings " + a + " settings get KPDoc Absent -- --plugins", 0, "--plugins\n"},
        {"--plugins " + none + " plugins", 1, "no such plug-in folder"},
        {"plugins --plugins " + none, 1, "no such plug-in folder"},
        {"--settings " + a + " --set other plugins", 0, "# set: other\n"},
        {"plugins --settings " + a + " --set other", 0, "# set: other\n"},
        // After "note", --set is the note's text, whatever it looks like.
        {"note " + picture + " --set --plugins --settings " + a, 0, ""},
        {"notes " + folder + " --settings " + a, 0, "\tp.jpg\t--plugins\n"},
        {"scan " + folder + " --settings", 2, "--settings: no file given"},
        {"--settings= scan " + folder, 2, "--settings: no file given"},
        {"settings list --plugins", 2, "--plugins needs a value"},
        {"--set", 2, "--set needs a value"},
    };
    for (const Case& c : cases) {
        const test::CliRun run = test::runCli(c.line, true);
        EXPECT_EQ(run.status, c.status) << c.line << "\n" << run.out;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << c.line << "\n" << run.out;
    }
}

} // namespace
} // namespace vemra
