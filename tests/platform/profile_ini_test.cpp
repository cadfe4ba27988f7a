#include "platform/profile_ini.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace vemra {
namespace {

using test::readText;
using test::writeText;

class ProfileIniTest : public ::testing::Test {
protected:
    std::string path(const char* name = "test.ini") const { return m_folder.file(name); }
    test::TempFolder m_folder;
};

TEST_F(ProfileIniTest, WritesCreateTheFileAndReadBackIgnoringCase) {
    {
        ProfileIni ini(path());
        EXPECT_EQ(ini.state(), ProfileIni::State::Missing);
        EXPECT_TRUE(ini.writeText("KPDoc", "PathMask", "*.jpg;*.png"));
        EXPECT_TRUE(ini.writeInt("KPDoc", "ScaleStep", -25));
        EXPECT_TRUE(ini.writeText("SPI", "#InnerJPEG", "1"));
        EXPECT_EQ(ini.state(), ProfileIni::State::Loaded);
    }
    EXPECT_EQ(readText(path()),
              "[KPDoc]\nPathMask=*.jpg;*.png\nScaleStep=-25\n[SPI]\n#InnerJPEG=1\n");

    ProfileIni ini(path());
    EXPECT_EQ(ini.readText("kpdoc", "PATHMASK"), "*.jpg;*.png");
    EXPECT_EQ(ini.readInt("KPDOC", "scalestep", 0), -25);
    EXPECT_EQ(ini.readInt("spi", "#innerjpeg", 0), 1);
    // Writing under another spelling replaces the key and keeps the file's spelling.
    EXPECT_TRUE(ini.writeText("kpdoc", "pathmask", "*.*"));
    EXPECT_EQ(readText(path()), "[KPDoc]\nPathMask=*.*\nScaleStep=-25\n[SPI]\n#InnerJPEG=1\n");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"KPDoc", "SPI"}));
    EXPECT_EQ(ini.keyNames("KPDOC"), (std::vector<std::string>{"PathMask", "ScaleStep"}));
    EXPECT_TRUE(ini.keyNames("Nowhere").empty());
}

TEST_F(ProfileIniTest, ValuesAreTrimmedAndLoseEnclosingQuotes) {
    writeText(path(), "[S]\n"
                      "plain =   spaced value  \t\n"
                      "quoted=\"  inner spaces  \"\n"
                      "half=\"open only\n"
                      "inner=a \"b\" c\n"
                      "empty=\n"
                      "  indented key = 5\n"
                      "equals=a=b\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.readText("S", "plain"), "spaced value");
    EXPECT_EQ(ini.readText("S", "quoted"), "  inner spaces  ");
    EXPECT_EQ(ini.readText("S", "half"), "\"open only");
    EXPECT_EQ(ini.readText("S", "inner"), "a \"b\" c");
    EXPECT_EQ(ini.readText("S", "empty", "fallback"), "");
    EXPECT_EQ(ini.readInt("S", "indented key", 0), 5);
    EXPECT_EQ(ini.readText("S", "equals"), "a=b");

    // Values that reading would alter are stored so that they come back whole.
    for (const char* value :
         {"\"$(PicName)\",\"$(PicSize)\"", "  lead", "trail\t", "\"x\"", "\""}) {
        ASSERT_TRUE(ini.writeText("S", "round", value));
        EXPECT_EQ(ProfileIni(path()).readText("S", "round"), value);
    }
}

TEST_F(ProfileIniTest, MissingValuesGiveDefaultsAndNonNumbersZero) {
    writeText(path(), "[S]\nword=abc\nmixed=12abc\nempty=\nbig=99999999999\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.readText("S", "absent", "def"), "def");
    EXPECT_EQ(ini.readText("Absent", "word", "def"), "def");
    EXPECT_EQ(ini.find("S", "absent"), std::nullopt);
    EXPECT_EQ(ini.readInt("S", "absent", 7), 7);
    EXPECT_EQ(ini.readInt("S", "empty", 7), 7);
    EXPECT_EQ(ini.readInt("S", "word", 7), 0);
    EXPECT_EQ(ini.readInt("S", "mixed", 7), 12);
    EXPECT_EQ(ini.readInt("S", "big", 7), 2147483647);
    EXPECT_EQ(ProfileIni(path("absent.ini")).readInt("S", "word", 3), 3);
}

TEST_F(ProfileIniTest, LongValuesAreCutAtTwoThousandBytesOnACharacterBoundary) {
    std::string value;
    for (int i = 0; i < 700; ++i) {
        value += "日"; // three bytes each
    }
    ProfileIni ini(path());
    ASSERT_TRUE(ini.writeText("S", "long", value));
    const std::string read = ini.readText("S", "long");
    EXPECT_EQ(read.size(), 1998u);
    EXPECT_EQ(read, value.substr(0, 1998));
    EXPECT_EQ(ini.readText("S", "long", {}, 100000), value);
}

TEST_F(ProfileIniTest, RewritesKeepCommentsOrderAndLineEnds) {
    writeText(path(), "\xEF\xBB\xBF; settings\r\n"
                      "[A]\r\n"
                      "one=1\r\n"
                      ";two=commented out\r\n"
                      "two=2\r\n"
                      "\r\n"
                      "not a key line\r\n"
                      "[B]\r\n"
                      "three=3\r\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.keyNames("A"), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(ini.readText("A", "two"), "2");
    ASSERT_TRUE(ini.writeText("A", "new", "n"));
    ASSERT_TRUE(ini.writeText("a", "ONE", "uno"));
    ASSERT_TRUE(ini.writeText("C", "four", "4"));
    EXPECT_EQ(readText(path()), "; settings\r\n"
                                "[A]\r\n"
                                "one=uno\r\n"
                                ";two=commented out\r\n"
                                "two=2\r\n"
                                "new=n\r\n"
                                "\r\n"
                                "not a key line\r\n"
                                "[B]\r\n"
                                "three=3\r\n"
                                "[C]\r\n"
                                "four=4\r\n");
}

TEST_F(ProfileIniTest, DeletesKeysAndSections) {
    writeText(path(), "[A]\nx=1\ny=2\nX=3\n[B]\nz=1\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.readInt("A", "x", 0), 1); // the first of repeated keys
    EXPECT_TRUE(ini.deleteKey("a", "X"));   // every copy goes
    EXPECT_EQ(ini.find("A", "x"), std::nullopt);
    EXPECT_TRUE(ini.deleteKey("A", "absent"));
    EXPECT_TRUE(ini.deleteSection("Nowhere"));
    EXPECT_EQ(readText(path()), "[A]\ny=2\n[B]\nz=1\n");
    EXPECT_TRUE(ini.deleteSection("b"));
    EXPECT_EQ(readText(path()), "[A]\ny=2\n");
    EXPECT_TRUE(ini.deleteSection("A"));
    // A file without sections is empty: note files are removed when it is.
    EXPECT_EQ(std::filesystem::file_size(path()), 0u);
    EXPECT_TRUE(ini.sectionNames().empty());
}

// Deleted sections are left in place until the file is written; what is
// written, listed and found must not show them at any point.
TEST_F(ProfileIniTest, ManyDeletedSectionsLeaveTheRestInOrder) {
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    writeText(path(), text);
    ProfileIni ini(path());
    {
        ProfileIni::Batch batch(ini);
        for (const char* name : {"s1", "S3", "s5", "s7"})
            EXPECT_TRUE(ini.deleteSection(name));
        EXPECT_TRUE(ini.deleteSection("s3")); // gone already
        EXPECT_EQ(ini.find("s3", "k"), std::nullopt);
        ASSERT_TRUE(ini.writeText("s3", "k", "again"));
        EXPECT_EQ(ini.sectionNames(),
                  (std::vector<std::string>{"s0", "s2", "s4", "s6", "s8", "s9", "s3"}));
        for (const char* name : {"s0", "s2"})
            EXPECT_TRUE(ini.deleteSection(name));
        ASSERT_TRUE(ini.writeText("s9", "k", "nine"));
        EXPECT_TRUE(ini.deleteSection("s8"));
    }
    EXPECT_EQ(readText(path()), "[s4]\nk=4\n[s6]\nk=6\n[s9]\nk=nine\n[s3]\nk=again\n");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"s4", "s6", "s9", "s3"}));
    EXPECT_EQ(ini.readText("S6", "K"), "6");
    EXPECT_TRUE(ini.deleteSection("s4")); // written at once
    EXPECT_EQ(readText(path()), "[s6]\nk=6\n[s9]\nk=nine\n[s3]\nk=again\n");
}

TEST_F(ProfileIniTest, RepeatedSectionsContinueTheFirstAndOddNamesSurvive) {
    writeText(path(),
              "top=ignored\n[A]\nx=1\n[B]\ny=2\n[ a ]\nz=3\n[:photo[1].jpg]\nNote=hi\n[broken\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"A", "B", ":photo[1].jpg"}));
    EXPECT_EQ(ini.readInt("A", "x", 0), 1);
    EXPECT_EQ(ini.readInt("A", "z", 0), 3);
    EXPECT_EQ(ini.readText(":PHOTO[1].JPG", "note"), "hi");
    ASSERT_TRUE(ini.writeText(":photo[2].jpg", "Note", "two"));
    EXPECT_EQ(ProfileIni(path()).readText(":photo[2].jpg", "Note"), "two");
    EXPECT_EQ(readText(path()), "top=ignored\n[A]\nx=1\nz=3\n[B]\ny=2\n[:photo[1].jpg]\nNote=hi\n"
                                "[broken\n[:photo[2].jpg]\nNote=two\n");
}

TEST_F(ProfileIniTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
    ProfileIni ini(path());
    EXPECT_FALSE(ini.writeText("S", "a=b", "1"));
    EXPECT_FALSE(ini.writeText("S", "", "1"));
    EXPECT_FALSE(ini.writeText("S", " padded", "1"));
    EXPECT_FALSE(ini.writeText("S", "[x", "1"));
    EXPECT_FALSE(ini.writeText("S", ";x", "1"));
    EXPECT_FALSE(ini.writeText("S\n[T]", "k", "1"));
    EXPECT_FALSE(ini.writeText("S", "k", "line\n[Injected]\nkey=1"));
    EXPECT_FALSE(std::filesystem::exists(path()));
    // Control bytes other than line ends are kept (note files use 4 and 5).
    ASSERT_TRUE(ini.writeText("S", "k",
                              "a\x04"
                              "b\x05"
                              "c"));
    EXPECT_EQ(ProfileIni(path()).readText("S", "k"), "a\x04"
                                                     "b\x05"
                                                     "c");
}

TEST_F(ProfileIniTest, ReadOnlyFileIgnoresWritesWithoutLosingAnything) {
    const std::string original = "[S]\nkey=old\n; comment\n";
    writeText(path(), original);
    ::chmod(path().c_str(), 0444);
    ProfileIni ini(path());
    EXPECT_FALSE(ini.writeText("S", "key", "new"));
    EXPECT_FALSE(ini.writeText("S", "other", "1"));
    EXPECT_FALSE(ini.deleteKey("S", "key"));
    EXPECT_FALSE(ini.deleteSection("S"));
    {
        ProfileIni::Batch batch(ini);
        EXPECT_FALSE(ini.writeText("S", "key", "batched"));
    }
    EXPECT_EQ(ini.readText("S", "key"), "old");
    EXPECT_EQ(readText(path()), original);
    struct stat info {};
    ASSERT_EQ(::stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
}

TEST_F(ProfileIniTest, UnusableFilesReadEmptyAndAreNeverOverwritten) {
    // Too large to be a settings file: left alone.
    {
        std::ofstream(path("big.ini")) << "[S]\nkey=1\n";
        std::filesystem::resize_file(path("big.ini"), ProfileIni::kMaxFileBytes + 1);
        ProfileIni ini(path("big.ini"));
        EXPECT_EQ(ini.state(), ProfileIni::State::Unreadable);
        EXPECT_EQ(ini.readInt("S", "key", 9), 9);
        EXPECT_FALSE(ini.writeText("S", "key", "2"));
        EXPECT_EQ(std::filesystem::file_size(path("big.ini")), ProfileIni::kMaxFileBytes + 1);
    }
    // A folder where the file should be.
    std::filesystem::create_directory(path("folder.ini"));
    ProfileIni folder(path("folder.ini"));
    EXPECT_EQ(folder.state(), ProfileIni::State::Unreadable);
    EXPECT_FALSE(folder.writeText("S", "key", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.ini")));
    // A FIFO would block a plain open for reading.
    ASSERT_EQ(::mkfifo(path("fifo.ini").c_str(), 0644), 0);
    ProfileIni fifo(path("fifo.ini"));
    EXPECT_EQ(fifo.state(), ProfileIni::State::Unreadable);
    EXPECT_FALSE(fifo.writeText("S", "key", "1"));
}

TEST_F(ProfileIniTest, BinaryJunkAndOverlongLinesNeverCrash) {
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        std::string junk(random() % 4096, '\0');
        for (char& c : junk) {
            // Bias towards the characters the parser cares about.
            const char interesting[] = "[]=;\"\r\n \t";
            c = random() % 3 == 0 ? interesting[random() % 9] : static_cast<char>(random());
        }
        writeText(path(), junk);
        ProfileIni ini(path());
        for (const std::string& section : ini.sectionNames()) {
            for (const std::string& key : ini.keyNames(section)) {
                ASSERT_TRUE(ini.find(section, key).has_value());
            }
        }
        EXPECT_TRUE(ini.writeText("S", "k", "v"));
        EXPECT_EQ(ProfileIni(path()).readText("S", "k"), "v");
    }
    // A line beyond the parsing limit is kept as it is but not read as a key.
    const std::string longLine = "long=" + std::string(ProfileIni::kMaxLineBytes, 'x');
    writeText(path(), "[S]\n" + longLine + "\nshort=1\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.find("S", "long"), std::nullopt);
    ASSERT_TRUE(ini.writeText("S", "short", "2"));
    EXPECT_EQ(readText(path()), "[S]\n" + longLine + "\nshort=2\n");
}

TEST_F(ProfileIniTest, ShiftJisValuesReadAsUtf8) {
    // "[表示]" with a value "C:\写真\日本語" as the Windows program writes it.
    writeText(path(), "[\x95\x5C\x8E\xA6]\r\n"
                      "Folder=C:\\\x8E\xCA\x90\x5E\\\x93\xFA\x96\x7B\x8C\xEA\r\n"
                      "Ascii=plain\r\n");
    ProfileIni ini(path());
    EXPECT_EQ(ini.sectionNames(), std::vector<std::string>{"表示"});
    EXPECT_EQ(ini.readText("表示", "Folder"), "C:\\写真\\日本語");
    EXPECT_EQ(ini.readText("表示", "Ascii"), "plain");
    // Rewritten, the file is UTF-8 throughout.
    ASSERT_TRUE(ini.writeText("表示", "New", "新"));
    EXPECT_EQ(readText(path()), "[表示]\r\nFolder=C:\\写真\\日本語\r\nAscii=plain\r\nNew=新\r\n");
}

TEST_F(ProfileIniTest, SeesChangesMadeByOthers) {
    ProfileIni first(path());
    ProfileIni second(path());
    ASSERT_TRUE(first.writeText("S", "a", "1"));
    EXPECT_EQ(second.readText("S", "a"), "1");
    ASSERT_TRUE(second.writeText("S", "b", "2"));
    ASSERT_TRUE(first.writeText("S", "c", "3")); // keeps the other's key
    EXPECT_EQ(readText(path()), "[S]\na=1\nb=2\nc=3\n");
    std::filesystem::remove(path());
    EXPECT_EQ(first.find("S", "a"), std::nullopt);
    EXPECT_EQ(first.state(), ProfileIni::State::Missing);
}

TEST_F(ProfileIniTest, BatchWritesOnceAtTheEnd) {
    writeText(path(), "[S]\nold=1\n");
    ProfileIni ini(path());
    {
        ProfileIni::Batch batch(ini);
        for (int i = 0; i < 100; ++i) {
            ASSERT_TRUE(ini.writeInt("S", std::string("k").append(std::to_string(i)), i));
        }
        EXPECT_EQ(ini.readInt("S", "k99", 0), 99);   // visible at once
        EXPECT_EQ(readText(path()), "[S]\nold=1\n"); // but not yet written
    }
    EXPECT_EQ(ProfileIni(path()).readInt("S", "k99", 0), 99);
    EXPECT_EQ(ProfileIni(path()).readInt("S", "old", 0), 1);
}

TEST_F(ProfileIniTest, WritesKeepPermissionsAndFollowSymbolicLinks) {
    writeText(path("real.ini"), "[S]\nk=1\n");
    ::chmod(path("real.ini").c_str(), 0600);
    std::filesystem::create_symlink(path("real.ini"), path("link.ini"));
    ProfileIni ini(path("link.ini"));
    ASSERT_TRUE(ini.writeText("S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
    EXPECT_EQ(readText(path("real.ini")), "[S]\nk=2\n");
    struct stat info {};
    ASSERT_EQ(::stat(path("real.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A writer killed at an arbitrary moment leaves either the old file or a
// complete new one, never a mixture or a truncated file.
TEST_F(ProfileIniTest, InterruptedWritesLeaveACompleteFile) {
    constexpr std::size_t kBlobBytes = 200000;
    static_assert(kBlobBytes + 8 < ProfileIni::kMaxLineBytes);
    writeText(path(), "[S]\nkeep=yes\n");
    for (int round = 0; round < 5; ++round) {
        int written[2];
        ASSERT_EQ(::pipe(written), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(written[0]);
            ProfileIni ini(path());
            for (int i = 0;; ++i) {
                // Each version holds one large value made of a single letter,
                // within the longest line that is still read as a key.
                ini.writeText("S", "blob",
                              std::string(kBlobBytes, static_cast<char>('a' + i % 26)));
                if (i == 0) {
                    // The parent kills only a writer that is under way, however
                    // slowly this machine got it there.
                    [[maybe_unused]] const auto sent = ::write(written[1], "w", 1);
                    ::close(written[1]);
                }
            }
        }
        ::close(written[1]);
        pollfd first{written[0], POLLIN, 0};
        EXPECT_EQ(::poll(&first, 1, 60000), 1) << "the writer never finished a first write";
        ::close(written[0]);
        // A different moment each round, somewhere in a later write.
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        ProfileIni ini(path());
        EXPECT_EQ(ini.state(), ProfileIni::State::Loaded);
        EXPECT_EQ(ini.readText("S", "keep"), "yes");
        // At least the first version was complete before the kill.
        const std::optional<std::string> blob = ini.find("S", "blob", 1 << 20);
        ASSERT_TRUE(blob.has_value());
        ASSERT_EQ(blob->size(), kBlobBytes);
        EXPECT_EQ(blob->find_first_not_of(blob->front()), std::string::npos);
    }
    // Left-over temporary files do not stop the next writer.
    ProfileIni ini(path());
    EXPECT_TRUE(ini.writeText("S", "after", "1"));
}

} // namespace
} // namespace vemra
