// The host side of the plug-in interface, against the test-only plug-ins:
// loading, information strings, every typed call, and the merge of a
// plug-in's two picture blocks.

#include "platform/dynamic_library.h"
#include "platform/endian.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace vemra {
namespace {

using test::TempDir;

void put16(std::vector<std::byte>& out, unsigned v) {
    out.push_back(std::byte(v & 0xFF));
    out.push_back(std::byte(v >> 8 & 0xFF));
}

void put32(std::vector<std::byte>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putText(std::vector<std::byte>& out, const std::string& text) {
    for (const char c : text) {
        out.push_back(std::byte(c));
    }
}

// A "TINYPIC1" picture (see tests/plugins/tiny_plugin.c); 8-bit pictures use
// a grey palette of `colours` entries, pixel value = (x + 3y) % colours.
std::vector<std::byte> tinyPicture(int width, int height, int bits, const std::string& comment,
                                   int colours = 16) {
    std::vector<std::byte> out;
    putText(out, "TINYPIC1");
    put16(out, width);
    put16(out, height);
    out.push_back(std::byte(bits));
    out.push_back(std::byte{0});
    put16(out, static_cast<unsigned>(comment.size()));
    putText(out, comment);
    if (bits == 8) {
        put16(out, colours);
        for (int i = 0; i < colours; ++i) {
            out.insert(out.end(), {std::byte(i * 10), std::byte(i * 5), std::byte(255 - i)});
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (bits == 8) {
                out.push_back(std::byte((x + 3 * y) % colours));
            } else {
                out.insert(out.end(), {std::byte(x * 20), std::byte(y * 30), std::byte(x ^ y)});
            }
        }
    }
    return out;
}

std::vector<std::byte> tinyArchive(const std::vector<test::Member>& members) {
    std::vector<std::byte> out;
    putText(out, "TINYARC1");
    put32(out, static_cast<std::uint32_t>(members.size()));
    for (const test::Member& m : members) {
        put16(out, static_cast<unsigned>(m.name.size()));
        putText(out, m.name);
        put32(out, static_cast<std::uint32_t>(m.mtime));
        put32(out, static_cast<std::uint32_t>(m.data.size()));
        out.insert(out.end(), m.data.begin(), m.data.end());
    }
    return out;
}

TEST(DynamicLibrary, LoadsLooksUpAndReportsTheSystemsError) {
    DynamicLibrary library;
    std::string error;
    EXPECT_FALSE(library.open("/nonexistent/none.spi", &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(library.isOpen());
    EXPECT_EQ(library.symbol("GetPluginInfo"), nullptr);

    // A file that is no shared object is refused, not loaded.
    TempDir dir;
    test::writeFile(dir.file("junk.spi"), test::noise(4096, 1));
    EXPECT_FALSE(library.open(dir.file("junk.spi"), &error));
    EXPECT_FALSE(error.empty());

    ASSERT_TRUE(library.open(test::testPluginPath("tiny"), &error)) << error;
    EXPECT_NE(library.symbol("GetPluginInfo"), nullptr);
    EXPECT_EQ(library.symbol("NoSuchExport"), nullptr);
    DynamicLibrary moved = std::move(library);
    EXPECT_FALSE(library.isOpen());
    EXPECT_TRUE(moved.isOpen());
    moved.close();
    EXPECT_FALSE(moved.isOpen());
}

TEST(PluginModule, ReadsInformationKindAndExtensions) {
    PluginModule tiny = test::testPlugin("tiny");
    EXPECT_EQ(tiny.name(), "tiny");
    EXPECT_EQ(tiny.kind(), PluginKind::Picture);
    EXPECT_EQ(tiny.typeString(), "00IN");
    EXPECT_EQ(tiny.description(), "Tiny test plug-in");
    EXPECT_EQ(tiny.information(3), "Tiny picture");
    EXPECT_EQ(tiny.information(5), "Tiny archive");
    EXPECT_EQ(tiny.information(6), "");
    EXPECT_EQ(tiny.extensionList(), "*.tiny;*.tarc");
    EXPECT_TRUE(tiny.hasConfigurationDialog());
    const PluginModule::Exports& e = tiny.exports();
    for (const void* f :
         {reinterpret_cast<const void*>(e.getPluginInfo),
          reinterpret_cast<const void*>(e.isSupported),
          reinterpret_cast<const void*>(e.getPictureInfo),
          reinterpret_cast<const void*>(e.getPicture), reinterpret_cast<const void*>(e.getPreview),
          reinterpret_cast<const void*>(e.getArchiveInfo),
          reinterpret_cast<const void*>(e.getFileInfo), reinterpret_cast<const void*>(e.getFile),
          reinterpret_cast<const void*>(e.configurationDlg)}) {
        EXPECT_NE(f, nullptr);
    }

    PluginModule archive = test::testPlugin("fault_archive");
    EXPECT_EQ(archive.kind(), PluginKind::Archive);

    PluginModule other = test::testPlugin("wrong_type");
    EXPECT_EQ(other.kind(), PluginKind::Other);
    EXPECT_EQ(other.typeString(), "00XX");
    EXPECT_EQ(other.extensionList(), "*.xx");
    // Missing exports answer like an unsupported operation.
    EXPECT_EQ(other.exports().getPicture, nullptr);
    EXPECT_FALSE(other.hasConfigurationDialog());
    EXPECT_EQ(other.configurationDialog(nullptr, 0), -1);
    PictureBuffer picture;
    EXPECT_EQ(other.picture(PluginSource::file("x"), picture), ResultCode::Failure);
    std::vector<ArchiveEntry> list;
    EXPECT_EQ(other.archiveInfo(PluginSource::file("x"), list), ResultCode::Failure);
}

TEST(PluginModule, LoadsInStepsAndStaysListedWhenUnloaded) {
    PluginModule tiny(test::testPluginPath("tiny"));
    EXPECT_FALSE(tiny.isLoaded());
    EXPECT_FALSE(tiny.isSupported("a.tiny", test::headerOf(tinyPicture(1, 1, 24, ""))));
    ASSERT_TRUE(tiny.loadLibrary());
    tiny.lookUpExports();
    tiny.readInformation();
    EXPECT_EQ(tiny.kind(), PluginKind::Picture);
    EXPECT_TRUE(tiny.isSupported("a.tiny", test::headerOf(tinyPicture(1, 1, 24, ""))));

    tiny.unload();
    EXPECT_FALSE(tiny.isLoaded());
    EXPECT_EQ(tiny.description(), "Tiny test plug-in");
    EXPECT_FALSE(tiny.isSupported("a.tiny", test::headerOf(tinyPicture(1, 1, 24, ""))));
    PluginPictureInfo info;
    EXPECT_EQ(tiny.pictureInfo(PluginSource::file("a.tiny"), info), ResultCode::Failure);

    ASSERT_TRUE(tiny.loadLibrary());
    tiny.lookUpExports();
    EXPECT_TRUE(tiny.isSupported("a.tiny", test::headerOf(tinyPicture(1, 1, 24, ""))));

    std::string error;
    EXPECT_FALSE(PluginModule::open("/nonexistent.spi", &error).has_value());
    EXPECT_FALSE(error.empty());
}

TEST(PluginModule, IdentifiesByHeaderPointerShortHeaderAndDescriptor) {
    PluginModule tiny = test::testPlugin("tiny");
    const std::vector<std::byte> picture = tinyPicture(2, 2, 24, "");
    EXPECT_TRUE(tiny.isSupported("p.tiny", test::headerOf(picture)));
    // A header shorter than promised is padded, never read past.
    EXPECT_TRUE(tiny.isSupported("p.tiny", std::span(picture).first(8)));
    EXPECT_FALSE(tiny.isSupported("p.tiny", std::span(picture).first(4)));
    EXPECT_FALSE(tiny.isSupported("p.tiny", test::headerOf(test::noise(100, 3))));

    TempDir dir;
    std::vector<std::byte> prefixed = test::noise(128, 9);
    prefixed.insert(prefixed.end(), picture.begin(), picture.end());
    test::writeFile(dir.file("p.tiny"), prefixed);
    const int fd = ::open(dir.file("p.tiny").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(tiny.isSupportedDescriptor("p.tiny", fd));
    ASSERT_EQ(::lseek(fd, 128, SEEK_SET), 128);
    EXPECT_TRUE(tiny.isSupportedDescriptor("p.tiny", fd));
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 128) << "the plug-in must leave the position";
    ::close(fd);
    EXPECT_FALSE(tiny.isSupportedDescriptor("p.tiny", -1));
}

TEST(PluginModule, PictureInfoTakesTheCommentAndFreesItsHandle) {
    PluginModule tiny = test::testPlugin("tiny");
    TempDir dir;
    std::vector<std::byte> file = test::noise(64, 2);
    const std::vector<std::byte> picture = tinyPicture(7, 5, 8, "夕焼けの写真");
    file.insert(file.end(), picture.begin(), picture.end());
    test::writeFile(dir.file("p.tiny"), file);

    PluginPictureInfo info;
    ASSERT_EQ(tiny.pictureInfo(PluginSource::file(dir.file("p.tiny"), 64), info),
              ResultCode::Success);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 5);
    EXPECT_EQ(info.bitCount, 8);
    EXPECT_EQ(info.xDensity, 72);
    EXPECT_EQ(info.yDensity, 96);
    EXPECT_EQ(info.comment, "夕焼けの写真");

    ASSERT_EQ(tiny.pictureInfo(PluginSource::memory(picture), info), ResultCode::Success);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(tiny.pictureInfo(PluginSource::file(dir.file("p.tiny")), info),
              ResultCode::InvalidData);
    EXPECT_EQ(info.width, 0) << "a failed call leaves no stale figures";
}

TEST(PluginModule, PictureMergesBothBlocksFromFileAndMemory) {
    PluginModule tiny = test::testPlugin("tiny");
    const std::vector<std::byte> grey = tinyPicture(7, 5, 8, "", 16);
    PictureBuffer p;
    ASSERT_EQ(tiny.picture(PluginSource::memory(grey), p), ResultCode::Success);
    ASSERT_TRUE(p.isValid());
    EXPECT_EQ(p.width(), 7);
    EXPECT_EQ(p.height(), 5);
    EXPECT_EQ(p.bitCount(), 8);
    EXPECT_EQ(p.colourEntries(), 16);
    EXPECT_EQ(p.paletteColour(3), colourWord(30, 15, 252));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(p.pixel(x, y), static_cast<std::uint32_t>((x + 3 * y) % 16));
        }
    }

    TempDir dir;
    test::writeFile(dir.file("c.tiny"), tinyPicture(6, 4, 24, "colour"));
    ASSERT_EQ(tiny.picture(PluginSource::file(dir.file("c.tiny")), p), ResultCode::Success);
    EXPECT_EQ(p.bitCount(), 24);
    EXPECT_EQ(p.blockSize(), 40u + 4 * 20);
    EXPECT_EQ(p.pixel(5, 3), colourWord(100, 90, 5 ^ 3));
}

struct ProgressLog {
    int calls = 0;
    int stopAt = -1;
};

int logProgress(int done, int total, intptr_t user) {
    auto* log = reinterpret_cast<ProgressLog*>(user);
    EXPECT_LE(done, total);
    ++log->calls;
    return done == log->stopAt ? 1 : 0;
}

TEST(PluginModule, ProgressReachesThePlugInAndStopsIt) {
    PluginModule tiny = test::testPlugin("tiny");
    const std::vector<std::byte> picture = tinyPicture(3, 9, 24, "");
    ProgressLog log;
    PictureBuffer p;
    ASSERT_EQ(tiny.picture(PluginSource::memory(picture), p, logProgress,
                           reinterpret_cast<intptr_t>(&log)),
              ResultCode::Success);
    EXPECT_EQ(log.calls, 9);

    // Aborted: the blocks the plug-in had already made are freed (the
    // sanitizer build would report them otherwise) and no picture comes back.
    log = ProgressLog{0, 4};
    EXPECT_EQ(tiny.picture(PluginSource::memory(picture), p, logProgress,
                           reinterpret_cast<intptr_t>(&log)),
              ResultCode::Aborted);
    EXPECT_TRUE(p.isNull());
    EXPECT_EQ(log.calls, 5);

    // A failure that still hands out blocks.
    EXPECT_EQ(tiny.picture(PluginSource::memory(tinyPicture(3, 3, 24, "FAIL")), p),
              ResultCode::BrokenData);
    EXPECT_TRUE(p.isNull());
}

TEST(PluginModule, ArchiveCallsListFindAndExtract) {
    PluginModule tiny = test::testPlugin("tiny");
    const std::vector<test::Member> members = {
        {"top.txt", test::noise(10, 1), 1000},
        {"sub/dir/深い.bin", test::noise(300, 2), 2000},
        {"empty", {}, 3000},
    };
    TempDir dir;
    test::writeFile(dir.file("a.tarc"), tinyArchive(members));
    const PluginSource source = PluginSource::file(dir.file("a.tarc"));

    std::vector<ArchiveEntry> list;
    bool gotList = false;
    ASSERT_EQ(tiny.archiveInfo(source, list, &gotList), ResultCode::Success);
    EXPECT_TRUE(gotList);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(entryMethod(list[1]), "tiny");
    EXPECT_EQ(entryPath(list[1]), "sub/dir/");
    EXPECT_EQ(entryFileName(list[1]), "深い.bin");
    EXPECT_EQ(list[1].filesize, 300u);
    EXPECT_EQ(list[1].timestamp, 2000u);

    const std::vector<std::byte> bytes = test::readFile(dir.file("a.tarc"));
    ASSERT_EQ(tiny.archiveInfo(PluginSource::memory(bytes), list), ResultCode::Success);
    EXPECT_EQ(list.size(), 3u);

    ArchiveEntry entry;
    ASSERT_EQ(tiny.fileInfo(source, "sub/dir/深い.bin", entry), ResultCode::Success);
    EXPECT_EQ(entry.position, 1u);
    EXPECT_EQ(static_cast<int>(tiny.fileInfo(source, "nothing", entry)), SPI_END_OF_FILE);

    for (std::size_t i = 0; i < members.size(); ++i) {
        SpiBlock block;
        ASSERT_EQ(tiny.fileToMemory(source, list[i].position, block), ResultCode::Success);
        EXPECT_EQ(block.size(), members[i].data.size());
        EXPECT_TRUE(std::equal(block.bytes().begin(), block.bytes().end(), members[i].data.begin(),
                               members[i].data.end()));
    }
    SpiBlock block;
    EXPECT_EQ(tiny.fileToMemory(PluginSource::memory(bytes), 0, block), ResultCode::Failure);
    EXPECT_EQ(tiny.configurationDialog(nullptr, 5), 105);
}

TEST(PluginModule, ArchiveListStopsAtItsTerminatorOrItsBlock) {
    // A list of two records and a terminator whose block has spare room, and
    // a list that the plug-in did not terminate: both read only real records.
    std::vector<test::Member> members;
    for (int i = 0; i < 2; ++i) {
        members.push_back({std::string("m") + std::to_string(i), test::noise(5, i), 0});
    }
    PluginModule tiny = test::testPlugin("tiny");
    const std::vector<std::byte> archive = tinyArchive(members);
    std::vector<ArchiveEntry> list;
    ASSERT_EQ(tiny.archiveInfo(PluginSource::memory(archive), list), ResultCode::Success);
    EXPECT_EQ(list.size(), 2u);

    // A truncated archive: the plug-in reports broken data with the part
    // it read, which the caller gets to see.
    const std::vector<std::byte> cut(archive.begin(), archive.end() - 3);
    bool gotList = false;
    EXPECT_EQ(tiny.archiveInfo(PluginSource::memory(cut), list, &gotList), ResultCode::BrokenData);
    EXPECT_TRUE(gotList);
    EXPECT_EQ(list.size(), 1u);
}

SpiBlock blockOf(const std::vector<std::byte>& bytes) {
    SpiBlock block(SpiAlloc(bytes.size()));
    if (!bytes.empty()) {
        std::memcpy(block.handle(), bytes.data(), bytes.size());
    }
    return block;
}

TEST(MergePictureBlocks, RoomIsTheLargerOfPixelBlockAndImage) {
    // 3 x 2 at 24 bits: rows of 12 bytes, 24 image bytes.
    const SpiBlock info = blockOf(test::infoHeader(3, 2, 24));
    std::vector<std::byte> pixels = test::noise(24, 5);

    PictureBuffer exact = mergePictureBlocks(info, blockOf(pixels));
    ASSERT_TRUE(exact.isValid());
    EXPECT_EQ(exact.blockSize(), 40u + 24);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), exact.pixels().begin()));

    // A short pixel block leaves the missing rows zero.
    PictureBuffer shortRows =
        mergePictureBlocks(info, blockOf({pixels.begin(), pixels.end() - 12}));
    ASSERT_TRUE(shortRows.isValid());
    EXPECT_EQ(shortRows.blockSize(), 40u + 24);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 12, shortRows.pixels().begin()));
    for (const std::byte b : shortRows.row(0)) {
        EXPECT_EQ(b, std::byte{0}) << "the top row is the one the block lacked";
    }

    // A longer pixel block is kept whole.
    pixels.resize(40, std::byte{9});
    PictureBuffer longer = mergePictureBlocks(info, blockOf(pixels));
    ASSERT_TRUE(longer.isValid());
    EXPECT_EQ(longer.blockSize(), 40u + 40);

    // No pixel block at all: a blank picture of the header's size.
    PictureBuffer blank = mergePictureBlocks(info, SpiBlock());
    ASSERT_TRUE(blank.isValid());
    EXPECT_EQ(blank.blockSize(), 40u + 24);
}

TEST(MergePictureBlocks, HostileHeadersAreRefused) {
    const std::vector<std::byte> pixels = test::noise(64, 6);
    // The header announces 256 colours, but the info block holds only 16.
    std::vector<std::byte> header = test::infoHeader(4, 4, 8, 0, 0, 256);
    header.resize(40 + 16 * 4);
    EXPECT_TRUE(mergePictureBlocks(blockOf(header), blockOf(pixels)).isNull());
    header.resize(40 + 256 * 4);
    EXPECT_TRUE(mergePictureBlocks(blockOf(header), blockOf(pixels)).isValid());

    // Info blocks shorter than a header, absurd sizes, no info block.
    EXPECT_TRUE(mergePictureBlocks(blockOf(test::bytes({40, 0, 0})), blockOf(pixels)).isNull());
    EXPECT_TRUE(mergePictureBlocks(blockOf(test::infoHeader(1 << 20, 1 << 20, 24)), blockOf(pixels))
                    .isNull());
    EXPECT_TRUE(mergePictureBlocks(blockOf(test::infoHeader(0, 4, 24)), blockOf(pixels)).isNull());
    EXPECT_TRUE(mergePictureBlocks(SpiBlock(), blockOf(pixels)).isNull());
}

// Runs `call` in a child process with the default signal actions and returns
// the signal that ended it (0 when it returned).
template <typename Call> int signalOf(Call call) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (const int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
            std::signal(s, SIG_DFL);
        }
        call();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

TEST(FaultPlugin, FaultsAsAskedAndOnlyThen) {
    // The fault guard lives with the registry; here the test plug-in itself
    // is checked, so that the guard's tests rest on real faults.
    PluginModule fault = test::testPlugin("fault");
    EXPECT_EQ(fault.kind(), PluginKind::Picture);
    const std::vector<std::byte> header = test::headerOf({});
    EXPECT_FALSE(fault.isSupported("plain.fault", header));
    PluginPictureInfo info;
    EXPECT_EQ(fault.pictureInfo(PluginSource::file("plain.fault"), info), ResultCode::InvalidData);

    EXPECT_EQ(signalOf([&] { fault.isSupported("read.fault", header); }), SIGSEGV);
    EXPECT_EQ(signalOf([&] { fault.pictureInfo(PluginSource::file("write.fault"), info); }),
              SIGSEGV);
    PictureBuffer p;
    EXPECT_EQ(signalOf([&] { fault.picture(PluginSource::file("divide.fault"), p); }), SIGFPE);
    const std::vector<std::byte> abortData = test::bytes({'a', 'b', 'o', 'r', 't'});
    EXPECT_EQ(signalOf([&] { fault.picture(PluginSource::memory(abortData), p); }), SIGABRT);
    EXPECT_EQ(signalOf([&] { fault.configurationDialog(nullptr, 4); }), SIGSEGV);

    PluginModule archive = test::testPlugin("fault_archive");
    std::vector<ArchiveEntry> list;
    EXPECT_EQ(signalOf([&] { archive.archiveInfo(PluginSource::file("read.zip"), list); }),
              SIGSEGV);
    SpiBlock block;
    EXPECT_EQ(signalOf([&] { archive.fileToMemory(PluginSource::file("divide"), 0, block); }),
              SIGFPE);
    EXPECT_EQ(archive.fileToMemory(PluginSource::file("calm"), 0, block), ResultCode::InvalidData);
}

} // namespace
} // namespace vemra
