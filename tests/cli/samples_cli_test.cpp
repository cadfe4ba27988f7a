// The sample folder shows what Vemra reads: every picture in it, and every
// member of its zip, must be identified and measured by the program.

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace vemra {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> tabFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

TEST(SamplesCli, EverySamplePictureIsRead) {
    const fs::path samples = fs::path(VEMRA_SOURCE_DIR) / "samples";
    if (!fs::is_directory(samples))
        GTEST_SKIP() << "no samples folder";
    const std::string settings = "--settings /nonexistent/vemra.ini ";
    std::set<std::string> kinds;
    std::uintmax_t total = 0;
    for (const auto& file : fs::directory_iterator(samples)) {
        // Sub-folders hold other sample files (catalog definitions).
        if (!file.is_regular_file())
            continue;
        total += fs::file_size(file.path());
        std::string extension = file.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".txt")
            continue;
        if (extension == ".zip") {
            kinds.insert(extension);
            const test::CliRun list =
                test::runCli(settings + "list " + test::shellQuoted(file.path().string()));
            ASSERT_EQ(list.status, 0) << list.out;
            std::istringstream lines(list.out);
            int pictures = 0;
            for (std::string line; std::getline(lines, line);) {
                const auto fields = tabFields(line);
                ASSERT_EQ(fields.size(), 5u) << line;
                if (fields[4].empty())
                    continue; // a folder
                const test::CliRun caption = test::runCli(
                    settings + "caption " + test::shellQuoted(file.path().string()) + " --member " +
                    test::shellQuoted(fields[3] + fields[4]) + " '$(W) $(H)'");
                EXPECT_EQ(caption.status, 0) << caption.out;
                EXPECT_NE(caption.out.rfind("0 0", 0), 0u) << fields[4] << " was not read";
                ++pictures;
            }
            EXPECT_GE(pictures, 3);
            continue;
        }
        const test::CliRun run =
            test::runCli(settings + "identify " + test::shellQuoted(file.path().string()));
        ASSERT_EQ(run.status, 0) << run.out;
        const auto fields = tabFields(run.out.substr(0, run.out.find('\n')));
        ASSERT_GE(fields.size(), 5u) << run.out;
        EXPECT_FALSE(fields[1].empty()) << file.path() << " has no decoder";
        EXPECT_NE(fields[2], "0") << file.path();
        kinds.insert(extension);
    }
    for (const char* kind : {".bmp", ".jpg", ".png", ".gif", ".tif", ".webp", ".zip"})
        EXPECT_TRUE(kinds.count(kind)) << "no " << kind << " sample";
    EXPECT_LT(total, 512u * 1024u) << "the sample folder should stay small";
}

} // namespace
} // namespace vemra
