// The archive plug-in (archive.spi) on archives written with libarchive's
// own writer: listing, finding, byte-exact extraction, identification, and
// damaged archives.

#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace vemra {
namespace {

namespace fs = std::filesystem;
using test::Member;
using test::TempDir;

std::vector<Member> sampleMembers() {
    return {
        {"photo1.jpg", test::noise(5000, 1), 1600000000},
        {"sub/photo2.jpg", test::noise(300000, 2), 1600000100},
        {"empty.txt", {}, 1600000200},
        {"深い/名前.png", test::noise(123, 3), 1600000300},
    };
}

struct Kind {
    const char* format;
    const char* filter;
    const char* extension;
};

const Kind kKinds[] = {
    {"zip", "", "zip"},      {"zip-store", "", "zip"},  {"7z", "", "7z"},
    {"tar", "", "tar"},      {"tar", "gzip", "tar.gz"}, {"tar", "bzip2", "tar.bz2"},
    {"tar", "xz", "tar.xz"}, {"cpio", "", "cpio"},      {"iso", "", "iso"},
};

void PrintTo(const Kind& kind, std::ostream* os) {
    *os << kind.extension;
}

std::string fullName(const ArchiveEntry& e) {
    return entryPath(e) + entryFileName(e);
}

class ArchivePlugin : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        m_path = m_dir.file(std::string("a.") + GetParam().extension);
        ASSERT_TRUE(test::writeArchive(m_path, GetParam().format, GetParam().filter, m_members));
    }

    PluginModule m_plugin = test::shippedPlugin("archive");
    TempDir m_dir;
    std::vector<Member> m_members = sampleMembers();
    std::string m_path;
};

TEST_P(ArchivePlugin, IdentifiesByContent) {
    const std::vector<std::byte> bytes = test::readFile(m_path);
    EXPECT_TRUE(m_plugin.isSupported(m_path, test::headerOf(bytes)));

    const int fd = ::open(m_path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(m_plugin.isSupportedDescriptor(m_path, fd));
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0);
    ::close(fd);
}

TEST_P(ArchivePlugin, ListsFilesWithSizesTimesAndNames) {
    const std::vector<std::byte> bytes = test::readFile(m_path);
    for (const PluginSource& s : {PluginSource::file(m_path), PluginSource::memory(bytes)}) {
        std::vector<ArchiveEntry> list;
        ASSERT_EQ(m_plugin.archiveInfo(s, list), ResultCode::Success);
        ASSERT_EQ(list.size(), m_members.size());
        for (const Member& m : m_members) {
            const auto found = std::find_if(list.begin(), list.end(), [&](const ArchiveEntry& e) {
                return fullName(e) == m.name;
            });
            ASSERT_NE(found, list.end()) << m.name;
            EXPECT_EQ(found->filesize, m.data.size()) << m.name;
            EXPECT_EQ(found->timestamp, static_cast<std::uint32_t>(m.mtime)) << m.name;
            EXPECT_NE(found->method[0], 0);
        }
    }
}

TEST_P(ArchivePlugin, PositionsFindTheSameMembersAgain) {
    std::vector<ArchiveEntry> list;
    const PluginSource source = PluginSource::file(m_path);
    ASSERT_EQ(m_plugin.archiveInfo(source, list), ResultCode::Success);
    for (const ArchiveEntry& e : list) {
        const auto member = std::find_if(m_members.begin(), m_members.end(),
                                         [&](const Member& m) { return m.name == fullName(e); });
        ASSERT_NE(member, m_members.end());

        SpiBlock block;
        ASSERT_EQ(m_plugin.fileToMemory(source, e.position, block), ResultCode::Success)
            << member->name;
        EXPECT_EQ(block.size(), member->data.size());
        EXPECT_TRUE(std::equal(block.bytes().begin(), block.bytes().end(), member->data.begin(),
                               member->data.end()))
            << member->name;

        ArchiveEntry found;
        ASSERT_EQ(m_plugin.fileInfo(source, member->name, found), ResultCode::Success);
        EXPECT_EQ(found.position, e.position);
        EXPECT_EQ(found.filesize, e.filesize);
    }
    ArchiveEntry none;
    EXPECT_EQ(static_cast<int>(m_plugin.fileInfo(source, "no/such.jpg", none)), SPI_END_OF_FILE);
    EXPECT_EQ(static_cast<int>(m_plugin.fileInfo(source, "PHOTO1.JPG", none)), SPI_END_OF_FILE);
    EXPECT_EQ(m_plugin.fileInfo(source, "PHOTO1.JPG", none, SPI_IGNORE_CASE), ResultCode::Success);
    SpiBlock block;
    EXPECT_EQ(static_cast<int>(m_plugin.fileToMemory(source, 100000, block)), SPI_END_OF_FILE);
}

// Members come out byte for byte whatever order they are asked in (the
// plug-in goes on from the last member it unpacked when it can), and an
// archive rewritten under the same name is read afresh.
TEST_P(ArchivePlugin, MembersComeOutRightInAnyOrder) {
    const PluginSource source = PluginSource::file(m_path);
    const auto check = [&](const std::vector<Member>& members, const std::vector<int>& order) {
        std::vector<ArchiveEntry> list;
        ASSERT_EQ(m_plugin.archiveInfo(source, list), ResultCode::Success);
        ASSERT_EQ(list.size(), members.size());
        for (const int i : order) {
            const ArchiveEntry& e = list[static_cast<std::size_t>(i)];
            const auto member = std::find_if(members.begin(), members.end(), [&](const Member& m) {
                return m.name == fullName(e);
            });
            ASSERT_NE(member, members.end());
            SpiBlock block;
            ASSERT_EQ(m_plugin.fileToMemory(source, e.position, block), ResultCode::Success)
                << member->name;
            EXPECT_TRUE(std::equal(block.bytes().begin(), block.bytes().end(), member->data.begin(),
                                   member->data.end()))
                << member->name << " at step " << i;
        }
    };
    for (const std::vector<int>& order :
         {std::vector<int>{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 3, 0, 2}, {0, 2, 1, 3, 3}}) {
        check(m_members, order);
    }
    // The same name, other members: once written in place, once replaced.
    for (const bool inPlace : {true, false}) {
        std::vector<Member> other = sampleMembers();
        for (Member& m : other) {
            // One byte longer: a file rewritten within the clock's tick
            // is told apart by its size.
            m.data = test::noise(m.data.size() + 1, inPlace ? 7 : 8);
        }
        const std::string written = inPlace ? m_path : m_path + ".new";
        ASSERT_TRUE(test::writeArchive(written, GetParam().format, GetParam().filter, other));
        if (!inPlace) {
            fs::rename(written, m_path);
        }
        check(other, {0, 1, 2, 3});
    }
}

TEST_P(ArchivePlugin, ExtractsIntoAFolderWithTheMembersTime) {
    std::vector<ArchiveEntry> list;
    const PluginSource source = PluginSource::file(m_path);
    ASSERT_EQ(m_plugin.archiveInfo(source, list), ResultCode::Success);
    const std::string out = m_dir.file("out");
    fs::create_directory(out);
    test::writeFile(out + "/名前.png", test::noise(10, 99)); // replaced
    for (const ArchiveEntry& e : list) {
        ASSERT_EQ(m_plugin.fileToFolder(source, e.position, out), ResultCode::Success);
        const std::string written = out + "/" + entryFileName(e);
        const auto member = std::find_if(m_members.begin(), m_members.end(),
                                         [&](const Member& m) { return m.name == fullName(e); });
        EXPECT_EQ(test::readFile(written), member->data) << written;
        struct stat st {};
        ASSERT_EQ(::stat(written.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, member->mtime);
    }
    // Only the members, no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()),
              static_cast<long>(m_members.size()));
    EXPECT_EQ(m_plugin.fileToFolder(source, list[0].position, m_dir.file("missing-folder")),
              static_cast<ResultCode>(SPI_OTHER_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Formats, ArchivePlugin, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             std::string name = info.param.format;
                             name += info.param.filter;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

int stopAtOnce(int, int, intptr_t calls) {
    ++*reinterpret_cast<int*>(calls);
    return 1;
}

int countCalls(int done, int total, intptr_t calls) {
    EXPECT_LE(done, total);
    ++*reinterpret_cast<int*>(calls);
    return 0;
}

TEST(ArchivePluginMisc, ProgressIsReportedAndCanStop) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    const std::string path = dir.file("big.zip");
    ASSERT_TRUE(test::writeArchive(path, "zip", "", {{"big.bin", test::noise(3 << 20, 4)}}));
    int calls = 0;
    SpiBlock block;
    ASSERT_EQ(plugin.fileToMemory(PluginSource::file(path), 0, block, countCalls,
                                  reinterpret_cast<intptr_t>(&calls)),
              ResultCode::Success);
    EXPECT_GT(calls, 2);
    calls = 0;
    EXPECT_EQ(plugin.fileToMemory(PluginSource::file(path), 0, block, stopAtOnce,
                                  reinterpret_cast<intptr_t>(&calls)),
              ResultCode::Aborted);
    EXPECT_TRUE(block.isNull());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(plugin.fileToFolder(PluginSource::file(path), 0, dir.path().string(), stopAtOnce,
                                  reinterpret_cast<intptr_t>(&calls)),
              ResultCode::Aborted);
    EXPECT_FALSE(fs::exists(dir.file("big.bin")));
}

TEST(ArchivePluginMisc, ReadsAnArchiveAtAnOffsetAndRefusesOtherFiles) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    ASSERT_TRUE(test::writeArchive(dir.file("a.tar"), "tar", "", sampleMembers()));
    std::vector<std::byte> prefixed = test::noise(128, 7);
    const std::vector<std::byte> tar = test::readFile(dir.file("a.tar"));
    prefixed.insert(prefixed.end(), tar.begin(), tar.end());
    test::writeFile(dir.file("prefixed.bin"), prefixed);
    std::vector<ArchiveEntry> list;
    ASSERT_EQ(plugin.archiveInfo(PluginSource::file(dir.file("prefixed.bin"), 128), list),
              ResultCode::Success);
    EXPECT_EQ(list.size(), 4u);

    // A compressed tar is told by looking into the file the header came
    // from; a header alone is not enough to decompress a tar header from.
    ASSERT_TRUE(test::writeArchive(dir.file("a.tgz"), "tar", "gzip", sampleMembers()));
    const std::vector<std::byte> tgz = test::headerOf(test::readFile(dir.file("a.tgz")));
    EXPECT_TRUE(plugin.isSupported(dir.file("a.tgz"), tgz));
    EXPECT_FALSE(plugin.isSupported(dir.file("a.tar"), tgz)) << "a file with other bytes";

    const std::vector<std::vector<std::byte>> others = {
        test::noise(5000, 8), {}, test::bytes({'h', 'e', 'l', 'l', 'o', '\n'})};
    for (const std::vector<std::byte>& other : others) {
        test::writeFile(dir.file("other.bin"), other);
        EXPECT_FALSE(plugin.isSupported(dir.file("other.bin"), test::headerOf(other)));
        bool gotList = true;
        EXPECT_EQ(plugin.archiveInfo(PluginSource::file(dir.file("other.bin")), list, &gotList),
                  ResultCode::InvalidData);
        EXPECT_FALSE(gotList);
    }
    EXPECT_EQ(plugin.archiveInfo(PluginSource::file(dir.file("none.zip")), list),
              ResultCode::OpenFailure);
}

TEST(ArchivePluginMisc, ShiftJisNamesAreConvertedToUtf8) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    // "夕焼け.jpg" in Shift-JIS, as Japanese Windows archivers store names.
    const std::string sjis = "\x97\x5B\x8F\xC4\x82\xAF.jpg";
    ASSERT_TRUE(
        test::writeArchive(dir.file("sjis.zip"), "zip", "", {{sjis, test::noise(50, 1)}}, false));
    std::vector<ArchiveEntry> list;
    ASSERT_EQ(plugin.archiveInfo(PluginSource::file(dir.file("sjis.zip")), list),
              ResultCode::Success);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(entryFileName(list[0]), "夕焼け.jpg");
}

// A level-0 LHA archive of stored (-lh0-) members, as LHA for MS-DOS and
// Windows wrote them, names in Shift-JIS. The header layout and the CRC-16
// (polynomial 0xA001, reflected) follow the LHA format notes by Haruhiko
// Okumura and Haruyasu Yoshizaki.
std::vector<std::byte>
lhaArchive(const std::vector<std::pair<std::string, std::vector<std::byte>>>& members) {
    const auto crc16 = [](const std::vector<std::byte>& data) {
        std::uint16_t crc = 0;
        for (const std::byte b : data) {
            crc ^= static_cast<std::uint8_t>(b);
            for (int i = 0; i < 8; ++i) {
                crc = static_cast<std::uint16_t>(crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1);
            }
        }
        return crc;
    };
    std::vector<std::byte> out;
    for (const auto& [name, data] : members) {
        std::vector<std::byte> h;
        const auto put = [&](std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                h.push_back(static_cast<std::byte>(v >> (8 * i) & 0xFF));
            }
        };
        for (const char c : std::string("-lh0-")) {
            h.push_back(static_cast<std::byte>(c));
        }
        put(static_cast<std::uint32_t>(data.size()), 4);
        put(static_cast<std::uint32_t>(data.size()), 4);
        put(0x6000, 2);                      // 12:00:00
        put((44u << 9) | (3u << 5) | 15, 2); // 2024-03-15
        put(0x20, 1);                        // archive attribute
        put(0, 1);                           // header level 0
        put(static_cast<std::uint32_t>(name.size()), 1);
        for (const char c : name) {
            h.push_back(static_cast<std::byte>(c));
        }
        put(crc16(data), 2);
        std::uint8_t sum = 0;
        for (const std::byte b : h) {
            sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(b));
        }
        out.push_back(static_cast<std::byte>(h.size()));
        out.push_back(static_cast<std::byte>(sum));
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    out.push_back(std::byte{0});
    return out;
}

TEST(ArchivePluginMisc, ReadsLhaWithShiftJisNames) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    const std::vector<std::byte> first = test::noise(3000, 21);
    const std::vector<std::byte> second = test::noise(10, 22);
    // "表紙\\夕焼け.jpg": the second byte of 表 (0x5C) is also a "\\".
    const std::string sjisPath = "\x95\x5C\x8E\x86\\\x97\x5B\x8F\xC4\x82\xAF.jpg";
    test::writeFile(dir.file("a.lzh"), lhaArchive({{"first.bin", first}, {sjisPath, second}}));
    EXPECT_TRUE(
        plugin.isSupported(dir.file("a.lzh"), test::headerOf(test::readFile(dir.file("a.lzh")))));

    std::vector<ArchiveEntry> list;
    ASSERT_EQ(plugin.archiveInfo(PluginSource::file(dir.file("a.lzh")), list), ResultCode::Success);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(fullName(list[0]), "first.bin");
    EXPECT_EQ(entryPath(list[1]), "表紙/");
    EXPECT_EQ(entryFileName(list[1]), "夕焼け.jpg");
    EXPECT_EQ(list[1].filesize, 10u);
    EXPECT_NE(list[1].timestamp, 0u);
    for (const auto& [entry, data] : {std::pair{list[0], first}, std::pair{list[1], second}}) {
        SpiBlock block;
        ASSERT_EQ(plugin.fileToMemory(PluginSource::file(dir.file("a.lzh")), entry.position, block),
                  ResultCode::Success);
        EXPECT_TRUE(
            std::equal(block.bytes().begin(), block.bytes().end(), data.begin(), data.end()));
    }
}

TEST(ArchivePluginMisc, ADamagedArchiveStillListsWhatCanBeRead) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    ASSERT_TRUE(test::writeArchive(dir.file("a.tar"), "tar", "", sampleMembers()));
    std::vector<std::byte> tar = test::readFile(dir.file("a.tar"));
    tar.resize(200000); // inside the data of the second file
    std::vector<ArchiveEntry> list;
    bool gotList = false;
    EXPECT_EQ(plugin.archiveInfo(PluginSource::memory(tar), list, &gotList),
              ResultCode::InvalidData);
    EXPECT_TRUE(gotList);
    ASSERT_GE(list.size(), 1u);
    EXPECT_EQ(fullName(list[0]), "photo1.jpg");
}

// Damaged archives: every answer is a result code, never a crash or a read
// out of bounds (the sanitizer build checks the latter).
TEST(ArchivePluginMisc, DamagedArchivesGiveResultCodes) {
    PluginModule plugin = test::shippedPlugin("archive");
    TempDir dir;
    for (const Kind& kind : kKinds) {
        const std::string path = dir.file(std::string("a.") + kind.extension);
        ASSERT_TRUE(test::writeArchive(path, kind.format, kind.filter, sampleMembers()));
        const std::vector<std::byte> good = test::readFile(path);
        std::uint32_t seed = 1;
        for (int round = 0; round < 24; ++round) {
            std::vector<std::byte> bad = good;
            if (round < 8) {
                bad.resize(bad.size() * static_cast<std::size_t>(round + 1) / 9);
            } else {
                for (int flips = 0; flips < 1 + round % 4; ++flips) {
                    seed = seed * 1103515245u + 12345u;
                    bad[seed % bad.size()] ^= static_cast<std::byte>(1u << (seed >> 16 & 7));
                }
            }
            const std::string badPath = dir.file("bad");
            test::writeFile(badPath, bad);
            plugin.isSupported(badPath, test::headerOf(bad));
            std::vector<ArchiveEntry> list;
            plugin.archiveInfo(PluginSource::memory(bad), list);
            const ResultCode code = plugin.archiveInfo(PluginSource::file(badPath), list);
            EXPECT_TRUE(static_cast<int>(code) >= 0 && static_cast<int>(code) <= 9)
                << kind.extension << " round " << round;
            for (const ArchiveEntry& e : list) {
                SpiBlock block;
                if (plugin.fileToMemory(PluginSource::file(badPath), e.position, block) ==
                    ResultCode::Success) {
                    EXPECT_EQ(block.size(), e.filesize);
                }
            }
        }
    }
}

} // namespace
} // namespace vemra
