#include "document/thumb_cache_file.h"

#include "../imaging/test_support.h"
#include "imaging/jpeg_encoder.h"
#include "platform/endian.h"
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>

namespace vemra {
namespace {

std::vector<std::byte> smallJpeg() {
    std::vector<std::byte> jpeg;
    EXPECT_TRUE(encodeJpeg(test::patternPicture(8, 8, 24), JpegOptions{}, jpeg));
    return jpeg;
}

// A stored header of `length` bytes as an older writer made it.
std::vector<std::byte> oldHeader(std::size_t length, std::uint32_t dataSize,
                                 std::string_view name) {
    std::vector<std::byte> h(length);
    storeU32(h.data(), static_cast<std::uint32_t>(length));
    storeU32(h.data() + 4, dataSize);
    if (length >= 16 + 260)
        std::memcpy(h.data() + 16, name.data(), std::min<std::size_t>(name.size(), 259));
    return h;
}

void append(std::vector<std::byte>& to, std::span<const std::byte> bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

class ThumbCacheFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path() const { return dir.file("_THUMBS_.KPI"); }
    ThumbCacheFile loaded(const std::vector<std::byte>& bytes) {
        test::writeFile(path(), bytes);
        ThumbCacheFile file(dir.path().string(), path());
        EXPECT_TRUE(file.load());
        return file;
    }
};

TEST_F(ThumbCacheFileTest, ShortHeadersOfOlderWritersAreCompletedAndRewrittenFull) {
    const auto jpeg = smallJpeg();
    // 668 bytes: no NameFrame, ScaleMode or Unsharp yet; a Windows path in
    // Shift-JIS as the name.
    const std::string sjisPath = *encodeCp932("C:\\写真\\夏.jpg");
    auto h1 = oldHeader(668, static_cast<std::uint32_t>(jpeg.size()), sjisPath);
    storeU32(h1.data() + 664, 0); // Name
    auto h2 = oldHeader(680, static_cast<std::uint32_t>(jpeg.size()), "b.jpg");
    storeU32(h2.data() + 668, 0); // NameFrame off
    storeU32(h2.data() + 672, 9); // ScaleMode
    std::vector<std::byte> bytes;
    append(bytes, h1);
    append(bytes, jpeg);
    append(bytes, h2);
    append(bytes, jpeg);

    ThumbCacheFile file = loaded(bytes);
    ASSERT_EQ(file.recordCount(), 2u);
    const ThumbRecord old = *file.recordAt(0);
    EXPECT_EQ(old.fileName(), "夏.jpg");
    EXPECT_EQ(old.u32(ThumbRecord::NameFrame), 1u);
    EXPECT_EQ(old.u32(ThumbRecord::ScaleMode), 0u);
    EXPECT_EQ(old.u32(ThumbRecord::HeaderSize), ThumbRecord::kHeaderSize);
    // Made before the metadata was read: no mark, so made again once.
    EXPECT_EQ(old.u32(ThumbRecord::Photo), 0u);
    EXPECT_EQ(file.recordAt(1)->u32(ThumbRecord::Photo), 0u);
    EXPECT_EQ(file.recordAt(1)->u32(ThumbRecord::NameFrame), 0u);
    EXPECT_EQ(file.recordAt(1)->u32(ThumbRecord::ScaleMode), 9u);
    EXPECT_TRUE(file.changed());
    EXPECT_TRUE(file.contains("夏.jpg", ""));

    ASSERT_TRUE(file.write());
    const auto rewritten = test::readFile(path());
    constexpr std::size_t kHeader = ThumbRecord::kHeaderSize;
    ASSERT_EQ(rewritten.size(), 2 * (kHeader + jpeg.size()));
    EXPECT_EQ(loadU32(rewritten.data()), kHeader);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rewritten.data() + 16)), "夏.jpg");
    EXPECT_EQ(loadU32(rewritten.data() + kHeader + jpeg.size()), kHeader);
}

TEST_F(ThumbCacheFileTest, HostileLengthsKeepTheRecordsReadBefore) {
    const auto jpeg = smallJpeg();
    auto good = oldHeader(680, static_cast<std::uint32_t>(jpeg.size()), "good.jpg");
    std::vector<std::byte> prefix;
    append(prefix, good);
    append(prefix, jpeg);

    struct Case {
        const char* what;
        std::vector<std::byte> tail;
    };
    std::vector<Case> cases;
    cases.push_back({"zero header length", oldHeader(680, 0, "x")});
    storeU32(cases.back().tail.data(), 0);
    cases.push_back({"header shorter than its size fields", oldHeader(680, 0, "x")});
    storeU32(cases.back().tail.data(), 6);
    cases.push_back({"header past the end", oldHeader(300, 0, "x")});
    storeU32(cases.back().tail.data(), 0xFFFF);
    cases.push_back({"huge data size", oldHeader(680, 0xFFFFFFF0u, "x")});
    cases.push_back({"data one byte short", oldHeader(680, 10, "x")});
    append(cases.back().tail, std::vector<std::byte>(9));
    cases.push_back({"single stray byte", {std::byte{7}}});

    for (const Case& c : cases) {
        std::vector<std::byte> bytes = prefix;
        append(bytes, c.tail);
        ThumbCacheFile file = loaded(bytes);
        ASSERT_EQ(file.recordCount(), 1u) << c.what;
        EXPECT_EQ(file.recordAt(0)->fileName(), "good.jpg") << c.what;
    }
}

TEST_F(ThumbCacheFileTest, OversizedThumbnailIsSkippedAndReadingGoesOn) {
    const auto jpeg = smallJpeg();
    std::vector<std::byte> bytes;
    append(bytes, oldHeader(680, ThumbCacheFile::kMaxDataBytes + 1, "big.jpg"));
    bytes.resize(bytes.size() + ThumbCacheFile::kMaxDataBytes + 1);
    append(bytes, oldHeader(680, static_cast<std::uint32_t>(jpeg.size()), "next.jpg"));
    append(bytes, jpeg);
    ThumbCacheFile file = loaded(bytes);
    ASSERT_EQ(file.recordCount(), 1u);
    EXPECT_EQ(file.recordAt(0)->fileName(), "next.jpg");
}

// Random damage to a valid file: loading must stay within the bytes, and
// whatever it keeps must write back and read again as the same records.
TEST_F(ThumbCacheFileTest, RandomlyDamagedFilesLoadAndRewriteSafely) {
    const auto jpeg = smallJpeg();
    std::vector<std::byte> valid;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        append(valid, oldHeader(680, static_cast<std::uint32_t>(jpeg.size()), name));
        append(valid, jpeg);
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::byte> bytes = valid;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i)
            bytes[random() % bytes.size()] = static_cast<std::byte>(random());
        if (round % 3 == 0)
            bytes.resize(random() % bytes.size());
        ThumbCacheFile file = loaded(bytes);
        ASSERT_LE(file.recordCount(), 3u);
        const std::size_t kept = file.recordCount();
        ASSERT_TRUE(file.write());
        ThumbCacheFile again(dir.path().string(), path());
        again.load();
        ASSERT_EQ(again.recordCount(), kept) << "round " << round;
        for (std::size_t i = 0; i < kept; ++i) {
            const std::optional<ThumbRecord> a = file.recordAt(i);
            const std::optional<ThumbRecord> b = again.recordAt(i);
            ASSERT_TRUE(std::ranges::equal(a->bytes(), b->bytes())) << "round " << round;
        }
    }
}

TEST_F(ThumbCacheFileTest, MissingFileIsEmptyAndEmptyObjectDeletesItsFile) {
    ThumbCacheFile none(dir.path().string(), dir.file("absent.kpt"));
    EXPECT_FALSE(none.load());
    EXPECT_EQ(none.recordCount(), 0u);

    ThumbCacheFile folderNamed(dir.path().string(), dir.path().string());
    EXPECT_FALSE(folderNamed.load());

    ThumbCacheFile file = loaded(test::bytes({1, 2, 3}));
    EXPECT_EQ(file.recordCount(), 0u);
    ASSERT_TRUE(file.write());
    EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(ThumbCacheFileTest, PutReplacesByBothNamesAndLongTextsAreCut) {
    ThumbCacheFile file(dir.path().string(), path());
    ThumbRecord a;
    a.setText(ThumbRecord::FileName, "a.jpg");
    ThumbRecord member;
    member.setText(ThumbRecord::FileName, "a.jpg");
    member.setText(ThumbRecord::ArchiveFileName, "x.zip");
    file.put(a);
    file.put(member);
    ThumbRecord again = a;
    again.setU32(ThumbRecord::Length, 5);
    file.put(again);
    ASSERT_EQ(file.recordCount(), 2u);
    EXPECT_EQ(file.find("a.jpg", "")->u32(ThumbRecord::Length), 5u);
    EXPECT_TRUE(file.erase("a.jpg", "x.zip"));
    EXPECT_FALSE(file.erase("a.jpg", "x.zip"));
    EXPECT_FALSE(file.contains("A.JPG", "")); // names are exact on this system

    // A decoder name longer than its field keeps its NUL and whole characters.
    ThumbRecord r;
    r.setText(ThumbRecord::PictureDecoder, "デコーダ名前長い");
    EXPECT_EQ(r.text(ThumbRecord::PictureDecoder), "デコーダ名");
    EXPECT_EQ(r.bytes()[ThumbRecord::PictureDecoder + 15], std::byte{0});
    // The last field never reads or writes past the header.
    r.setText(ThumbRecord::Camera, std::string(100, 'x'));
    EXPECT_EQ(r.text(ThumbRecord::Camera), std::string(ThumbRecord::kCameraField - 1, 'x'));
    EXPECT_EQ(r.bytes().size(), ThumbRecord::kHeaderSize);
}

// Past the memory limit thumbnails wait in a scratch file: whatever the
// limit, every record gives back its own bytes, replaced and erased records
// behave as in memory, and the written file is byte for byte the same.
TEST_F(ThumbCacheFileTest, ThumbnailsPastTheMemoryLimitComeBackWholeAndAreWrittenTheSame) {
    const auto dataOf = [](int i, int version) {
        std::vector<std::byte> data(static_cast<std::size_t>(100 + i * 7));
        for (std::size_t b = 0; b < data.size(); ++b)
            data[b] = static_cast<std::byte>(b * 31 + static_cast<std::size_t>(i + version * 13));
        return data;
    };
    const auto name = [](int i) { return "p" + std::to_string(i) + ".jpg"; };
    constexpr int kCount = 60;
    std::vector<std::byte> written;
    for (const std::size_t limit : {std::size_t{1} << 30, std::size_t{1000}, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        std::filesystem::remove(path());
        ThumbCacheFile file(dir.path().string(), path());
        file.setHeldLimit(limit);
        for (int i = 0; i < kCount; ++i) {
            ThumbRecord r;
            r.setText(ThumbRecord::FileName, name(i));
            r.setJpegData(dataOf(i, 0));
            file.put(std::move(r));
        }
        ThumbRecord replaced;
        replaced.setText(ThumbRecord::FileName, name(10));
        replaced.setJpegData(dataOf(10, 1));
        file.put(std::move(replaced));
        EXPECT_TRUE(file.erase(name(20), ""));
        EXPECT_LE(file.heldBytes(), limit);
        for (int i = 0; i < kCount; ++i) {
            const std::optional<ThumbRecord> r = file.find(name(i), "");
            if (i == 20) {
                EXPECT_FALSE(r);
                continue;
            }
            ASSERT_TRUE(r) << i;
            EXPECT_EQ(r->fileName(), name(i));
            const auto data = r->jpegData();
            EXPECT_EQ(std::vector<std::byte>(data.begin(), data.end()), dataOf(i, i == 10 ? 1 : 0))
                << i;
        }
        ASSERT_TRUE(file.write());
        const auto bytes = test::readFile(path());
        if (written.empty())
            written = bytes;
        EXPECT_TRUE(bytes == written);

        // Loaded under the same limit, the records are all there again.
        ThumbCacheFile again(dir.path().string(), path());
        again.setHeldLimit(limit);
        ASSERT_TRUE(again.load());
        EXPECT_EQ(again.recordCount(), static_cast<std::size_t>(kCount - 1));
        EXPECT_LE(again.heldBytes(), limit);
        for (int i : {0, 10, kCount - 1})
            EXPECT_TRUE(std::ranges::equal(again.find(name(i), "")->jpegData(),
                                           dataOf(i, i == 10 ? 1 : 0)));
    }
}

// A file may hold two records with the same names: the first is found, and
// once it is erased the second, wherever the records are kept.
TEST_F(ThumbCacheFileTest, SecondRecordOfTheSameNamesIsFoundOnceTheFirstIsErased) {
    std::vector<std::byte> bytes;
    for (const auto& [name, length] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"a.jpg", 1}, {"b.jpg", 2}, {"a.jpg", 3}, {"c.jpg", 4}, {"a.jpg", 5}}) {
        auto header = oldHeader(ThumbRecord::kHeaderSize, 3, name);
        storeU32(header.data() + ThumbRecord::Length, length);
        storeU32(header.data() + ThumbRecord::Photo, ThumbRecord::kPhotoRead | 1);
        append(bytes, header);
        append(bytes, test::bytes({1, 2, 3}));
    }
    for (const std::size_t limit : {std::size_t{1} << 30, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        test::writeFile(path(), bytes);
        ThumbCacheFile file(dir.path().string(), path());
        file.setHeldLimit(limit);
        ASSERT_TRUE(file.load());
        EXPECT_EQ(file.heldBytes(), limit == 0 ? 0u : 5 * (ThumbRecord::kHeaderSize + 3));
        for (const std::uint32_t expected : {1u, 3u, 5u}) {
            ASSERT_TRUE(file.contains("a.jpg", ""));
            EXPECT_EQ(file.find("a.jpg", "")->u32(ThumbRecord::Length), expected);
            EXPECT_EQ(file.find("c.jpg", "")->u32(ThumbRecord::Length), 4u);
            EXPECT_TRUE(file.erase("a.jpg", ""));
        }
        EXPECT_FALSE(file.contains("a.jpg", ""));
        ASSERT_EQ(file.recordCount(), 2u);
        EXPECT_EQ(file.recordAt(0)->fileName(), "b.jpg");
        EXPECT_EQ(file.recordAt(1)->fileName(), "c.jpg");
        EXPECT_FALSE(file.recordAt(2));
        // What the records are now is what is written, byte for byte.
        ASSERT_TRUE(file.write());
        std::vector<std::byte> expected;
        append(expected, std::span(bytes).subspan(ThumbRecord::kHeaderSize + 3,
                                                  ThumbRecord::kHeaderSize + 3));
        append(expected, std::span(bytes).subspan(3 * (ThumbRecord::kHeaderSize + 3),
                                                  ThumbRecord::kHeaderSize + 3));
        EXPECT_TRUE(test::readFile(path()) == expected);
    }
}

} // namespace
} // namespace vemra

namespace vemra {
namespace {

// Erased records wait in their slots until many are erased or the file is
// written: meanwhile, and afterwards, the records left are found, handed
// out in file order and written exactly as if each erase had taken its
// record out at once, later records of the same names found in their turn.
TEST_F(ThumbCacheFileTest, ManyErasedRecordsLeaveTheOthersInOrder) {
    const auto name = [](int i) { return "p" + std::to_string(i % 40) + ".jpg"; };
    constexpr int kRecords = 50; // p0..p9 twice
    std::vector<std::string> erased;
    for (int i = 0; i < 40; i += 3)
        erased.push_back(name(i));
    erased.push_back(name(7)); // twice: the second of its names goes too
    erased.push_back(name(7));
    for (const std::size_t limit : {std::size_t{1} << 30, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        std::vector<std::byte> bytes;
        std::vector<std::vector<std::byte>> records;
        for (int i = 0; i < kRecords; ++i) {
            auto header = oldHeader(ThumbRecord::kHeaderSize, 3, name(i));
            storeU32(header.data() + ThumbRecord::Length, static_cast<std::uint32_t>(i));
            append(header, test::bytes({1, 2, 3}));
            append(bytes, header);
            records.push_back(header);
        }
        test::writeFile(path(), bytes);
        ThumbCacheFile file(dir.path().string(), path());
        file.setHeldLimit(limit);
        ASSERT_TRUE(file.load());
        // What is left: each erase takes the first record of its names.
        std::vector<int> left(kRecords);
        std::iota(left.begin(), left.end(), 0);
        for (const std::string& n : erased) {
            EXPECT_TRUE(file.erase(n, ""));
            left.erase(std::ranges::find_if(left, [&](int i) { return name(i) == n; }));
        }
        EXPECT_FALSE(file.erase("missing.jpg", ""));
        const auto check = [&] {
            ASSERT_EQ(file.recordCount(), left.size());
            for (std::size_t at = 0; at < left.size(); ++at)
                EXPECT_EQ(file.recordAt(at)->u32(ThumbRecord::Length),
                          static_cast<std::uint32_t>(left[at]))
                    << at;
            EXPECT_FALSE(file.recordAt(left.size()));
            for (int i = 0; i < 40; ++i) {
                const auto first =
                    std::ranges::find_if(left, [&](int l) { return name(l) == name(i); });
                const auto found = file.find(name(i), "");
                ASSERT_EQ(static_cast<bool>(found), first != left.end()) << i;
                if (found) {
                    EXPECT_EQ(found->u32(ThumbRecord::Length), static_cast<std::uint32_t>(*first));
                }
            }
        };
        check(); // erased slots still waiting
        ASSERT_TRUE(file.write());
        check(); // dropped by the write
        std::vector<std::byte> expected;
        for (const int i : left)
            append(expected, records[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(test::readFile(path()) == expected);
    }
}

} // namespace
} // namespace vemra
