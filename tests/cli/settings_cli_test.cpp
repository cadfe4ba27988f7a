// The settings commands of vemra-cli and its --settings option, run as a
// script would run them.

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace vemra {
namespace {

using CliResult = test::CliRun;

// stderr is dropped unless `withErrors`.
CliResult cli(const std::string& arguments, bool withErrors = false) {
    return test::runCli(arguments, withErrors);
}

class SettingsCliTest : public ::testing::Test {
protected:
    std::string with(const std::string& arguments) const {
        return "--settings '" + m_ini + "' " + arguments;
    }
    test::TempDir m_dir;
    std::string m_ini = m_dir.file("sub/vemra.ini");
};

TEST_F(SettingsCliTest, SetGetAndList) {
    EXPECT_EQ(cli(with("settings set KPDoc PathMask '*.jpg;*.png'")).status, 0);
    EXPECT_EQ(cli(with("settings set KPDoc HomeFolder '/home/u/写真'")).status, 0);
    EXPECT_EQ(cli(with("settings set SPI '#InnerGIF' 1")).status, 0);

    CliResult get = cli(with("settings get kpdoc pathmask"));
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "*.jpg;*.png\n");
    EXPECT_EQ(cli(with("settings get KPDoc Absent fallback")).out, "fallback\n");
    EXPECT_EQ(cli("--settings='" + m_ini + "' settings get SPI '#InnerGIF'").out, "1\n");

    EXPECT_EQ(cli(with("settings list")).out,
              "KPDoc\tPathMask\t*.jpg;*.png\nKPDoc\tHomeFolder\t/home/u/写真\nSPI\t#InnerGIF\t1\n");
    EXPECT_EQ(cli(with("settings list SPI")).out, "SPI\t#InnerGIF\t1\n");
}

TEST_F(SettingsCliTest, OptionsFollowTheReadingRules) {
    ASSERT_EQ(cli(with("settings set KPDoc ThumbsSize 20,20")).status, 0);
    ASSERT_EQ(cli(with("settings set KPDoc ThumbsLimitSize 5,5")).status, 0);
    const CliResult run = cli(with("settings options"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("KPDoc\tThumbsSize\t20,20\n"), std::string::npos);
    EXPECT_NE(run.out.find("KPDoc\tThumbsLimitSize\t10,10\n"), std::string::npos);
    EXPECT_NE(run.out.find("Filter\tUnitEnd\t0\n"), std::string::npos);
    // The document's options only: the decoder switches are the registry's.
    EXPECT_EQ(run.out.find("\nSPI\t"), std::string::npos);
    EXPECT_NE(run.out.find("KPDoc\tColorManagement\t1\n"), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 64);
}

TEST_F(SettingsCliTest, FailuresAndUsageErrors) {
    std::filesystem::create_directories(m_dir.file("sub"));
    std::ofstream(m_ini) << "[S]\nk=1\n";
    ::chmod(m_ini.c_str(), 0444);
    const CliResult refused = cli(with("settings set S k 2"), true);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("cannot write"), std::string::npos);
    EXPECT_EQ(cli(with("settings get S k")).out, "1\n");

    EXPECT_EQ(cli("--settings").status, 2);
    EXPECT_EQ(cli("--settings= settings list").status, 2);
    EXPECT_EQ(cli(with("settings")).status, 2);
    EXPECT_EQ(cli(with("settings frob")).status, 2);
    EXPECT_EQ(cli(with("settings get S")).status, 2);
    EXPECT_EQ(cli(with("settings set S k")).status, 2);
    EXPECT_EQ(cli(with("settings list A B")).status, 2);
    EXPECT_EQ(cli(with("settings options extra")).status, 2);
    EXPECT_NE(cli("--help").out.find("--settings FILE"), std::string::npos);
}

} // namespace
} // namespace vemra
