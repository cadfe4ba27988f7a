#include "document/folder_info_file.h"

#include "../imaging/test_support.h"
#include "fake_scan_services.h"
#include "imaging/bmp_file.h"
#include "imaging/jpeg_encoder.h"
#include "platform/file_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace vemra {
namespace {

using test::FakeScanServices;

// "[n]\n", built piece by piece: GCC 12 in Release warns falsely
// (-Wrestrict) about "literal" + std::string.
std::string sectionHeader(int n) {
    std::string header(1, '[');
    header += std::to_string(n);
    header += "]\n";
    return header;
}

class RecordingSink : public ProgressSink {
public:
    int total = -1;
    int advanced = 0;
    int cancelAfter = -1;
    std::vector<std::string> messages;
    bool ended = false;
    void begin(std::string_view, std::string_view, int t) override { total = t; }
    void setMessage(std::string_view m) override { messages.emplace_back(m); }
    void advance() override { ++advanced; }
    bool cancelRequested() override { return cancelAfter >= 0 && advanced >= cancelAfter; }
    void end() override { ended = true; }
};

class FolderInfoTest : public ::testing::Test {
protected:
    test::TempDir dir;
    FakeScanServices services;

    std::string folder() const { return dir.path().string(); }
    std::int64_t touch(const std::string& name, const std::string& content = "data") {
        std::ofstream(dir.file(name), std::ios::binary) << content;
        return fileStatus(dir.file(name))->lastWriteTime;
    }
    void writeText(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name), std::ios::binary) << text;
    }
    FolderInfoFile::Result read(bool archive = false, ProgressSink* sink = nullptr) {
        FolderInfoFile::Request request;
        request.folder = folder();
        request.archiveOption = archive;
        request.thumbsLimitSize = {40, 30};
        request.prototype.useCacheFirst = true;
        request.prototype.drawing.scaleMode = 3;
        return FolderInfoFile::read(request, services, sink);
    }
    static std::vector<std::byte> jpegOf(int w, int h) {
        std::vector<std::byte> out;
        EXPECT_TRUE(encodeJpeg(test::patternPicture(w, h, 24), JpegOptions{}, out));
        return out;
    }
};

TEST_F(FolderInfoTest, Version2ListsKnownFilesWithTheirJpegThumbnails) {
    const auto t1 = touch("a.jpg");
    const auto t2 = touch("b.png");
    touch("c.jpg");
    const auto tArc = touch("set.arc", "x.jpg 10 5\n");
    const auto jpeg = jpegOf(16, 12);
    // Seven bytes of something else before the thumbnail. Sized at once:
    // GCC 12 in Release warns falsely (-Warray-bounds) about inserting into
    // the short vector.
    std::vector<std::byte> data(7 + jpeg.size(), std::byte{0});
    std::copy(jpeg.begin(), jpeg.end(), data.begin() + 7);
    test::writeFile(dir.file("thumbs.dat"), data);

    std::string ini =
        "; written by another program\n"
        "[Document]\nMaxCount=7\nDataVersion=2\nDocSize=120,90\nThumbsFile=thumbs.dat\n";
    auto section = [&](int n, const std::string& body) {
        ini += sectionHeader(n);
        ini += body;
    };
    section(1,
            "SPIName=JPEG\nFileName=a.jpg\nLength=4\nCreateTime=5\nLastWriteTime=" +
                std::to_string(t1) +
                "\nWidth=640\nHeight=480\nBitCount=24\nDocument=\"shot, at dawn\"\nSizeBox=110,80\n"
                "ThumbsPosition=7\nThumbsSize=" +
                std::to_string(jpeg.size()) + "\n");
    // Offset beyond the data file: listed, no thumbnail.
    section(2, "SPIName=PNG\nFileName=b.png\nLastWriteTime=" + std::to_string(t2) +
                   "\nThumbsPosition=999999\nThumbsSize=100\n");
    // Modified since: listed with the stored size, thumbnail left to be made.
    section(
        3,
        "SPIName=JPEG\nFileName=c.jpg\nLastWriteTime=12\nWidth=33\nThumbsPosition=7\nThumbsSize=" +
            std::to_string(jpeg.size()) + "\n");
    section(4, "SPIName=JPEG\nFileName=gone.jpg\nLastWriteTime=1\n"); // file missing
    section(5, "SPIName=NOSUCH\nFileName=a.jpg\nLastWriteTime=" + std::to_string(t1) +
                   "\n"); // no decoder
    section(6, "SPIName=JPEG\nFileName=x.jpg\nArchiveSPIName=ARCSPI\nArchiveFileName=set.arc\n"
               "ArchiveLastWriteTime=" +
                   std::to_string(tArc) + "\nPosition=300\nLength=10\n");
    section(7, "SPIName=JPEG\nFileName=../a.jpg\nLastWriteTime=" + std::to_string(t1) +
                   "\n"); // not in F
    writeText("DIRINFO.KPI", ini);

    RecordingSink sink;
    auto result = read(false, &sink);
    ASSERT_TRUE(result.loaded);
    EXPECT_EQ(result.thumbsFile, "thumbs.dat");
    EXPECT_EQ(result.thumbnailSize, (IntPair{120, 90}));
    ASSERT_EQ(result.entries.size(), 3u);
    const PictureSource& a = *result.entries[0];
    EXPECT_EQ(a.decoder, kJpegDecoderId);
    EXPECT_EQ(a.folder, folder());
    EXPECT_EQ(a.pictureWidth, 640);
    EXPECT_EQ(a.infoText, "shot, at dawn");
    EXPECT_EQ(a.boxWidth, 110);
    EXPECT_EQ(a.drawing.scaleMode, 3); // from the prototype
    EXPECT_TRUE(a.useCacheFirst);
    ASSERT_TRUE(a.thumbnail.isValid());
    EXPECT_EQ(a.thumbnail.width(), 16);
    EXPECT_EQ(a.thumbnail.bitCount(), 24);
    EXPECT_FALSE(result.entries[1]->thumbnail);
    EXPECT_EQ(result.entries[2]->fileName, "c.jpg");
    EXPECT_EQ(result.entries[2]->pictureWidth, 33);
    EXPECT_FALSE(result.entries[2]->thumbnail);
    EXPECT_EQ(sink.total, 7);
    EXPECT_EQ(sink.advanced, 7);
    EXPECT_TRUE(sink.ended);
    EXPECT_EQ(sink.messages.front(), "a.jpg");

    // With archives on, the member section is listed too.
    auto withArchives = read(true);
    ASSERT_EQ(withArchives.entries.size(), 4u);
    const PictureSource& member = *withArchives.entries[3];
    EXPECT_EQ(member.archiveFileName, "set.arc");
    EXPECT_EQ(member.archiveDecoder, FakeScanServices::kArchiveId);
    EXPECT_EQ(member.memberPosition, 300);
    EXPECT_EQ(member.fullPath(), "x.jpg");
}

TEST_F(FolderInfoTest, Version1BitmapsAndBrokenOnes) {
    const auto t = touch("a.bmp");
    const auto good = encodeBmp(test::patternPicture(5, 4, 8));
    ASSERT_FALSE(good.empty());
    auto notBm = good;
    notBm[0] = std::byte{'X'};
    auto badInfo = good;
    badInfo[14] = std::byte{108};
    auto hugeTotal = good;
    hugeTotal[2] = hugeTotal[3] = hugeTotal[4] = std::byte{0xFF};
    std::vector<std::byte> data;
    std::vector<std::size_t> offsets;
    for (const std::vector<std::byte>* image : std::initializer_list<const std::vector<std::byte>*>{
             &good, &notBm, &badInfo, &hugeTotal}) {
        offsets.push_back(data.size());
        data.insert(data.end(), image->begin(), image->end());
    }
    test::writeFile(dir.file("th.bin"), data);
    std::string ini = "[Document]\nMaxCount=5\nDataVersion=1\nDocSize=100,100\nThumbsFile=th.bin\n";
    for (int i = 0; i < 4; ++i)
        ini += sectionHeader(i + 1) +
               "SPIName=BMP\nFileName=a.bmp\nLastWriteTime=" + std::to_string(t) +
               "\nThumbsPosition=" + std::to_string(offsets[static_cast<std::size_t>(i)]) + "\n";
    ini += "[5]\nSPIName=BMP\nFileName=a.bmp\nLastWriteTime=" + std::to_string(t) +
           "\nThumbsPosition=-20\n";
    writeText("DIRINFO.KPI", ini);

    auto result = read();
    ASSERT_EQ(result.entries.size(), 5u);
    ASSERT_TRUE(result.entries[0]->thumbnail.isValid());
    EXPECT_EQ(result.entries[0]->thumbnail.width(), 5);
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_FALSE(result.entries[i]->thumbnail) << i;
}

TEST_F(FolderInfoTest, MissingDocSizeLowerCaseSectionAndMissingDataFile) {
    const auto t = touch("a.jpg");
    writeText("DIRINFO.KPI",
              "[Document]\nMaxCount=1\nDataVersion=2\nThumbsFile=none.dat\n[1]\nSPIName=JPEG\n"
              "FileName=a.jpg\nLastWriteTime=" +
                  std::to_string(t) + "\nThumbsPosition=0\nThumbsSize=10\n");
    auto result = read();
    EXPECT_EQ(result.thumbnailSize, (IntPair{40, 30})); // the limit size
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_FALSE(result.entries[0]->thumbnail);

    writeText("DIRINFO.KPI", "[document]\nMaxCount=1\n[1]\nSPIName=JPEG\nFileName=a.jpg\n");
    EXPECT_TRUE(read().entries.empty()); // MaxCount of "Document" is 0

    std::filesystem::remove(dir.file("DIRINFO.KPI"));
    auto none = read();
    EXPECT_FALSE(none.loaded);
    EXPECT_FALSE(none.thumbnailSize);
}

TEST_F(FolderInfoTest, HugeMaxCountAndCancel) {
    const auto t = touch("a.jpg");
    std::string ini =
        "[Document]\nMaxCount=2147483647\nDocSize=99999999,-5\nThumbsFile=../../etc/passwd\n";
    for (int n : {1, 2, 1000000})
        ini += sectionHeader(n) +
               "SPIName=JPEG\nFileName=a.jpg\nLastWriteTime=" + std::to_string(t) + "\n";
    ini += "[01]\nSPIName=JPEG\nFileName=a.jpg\n[-3]\nSPIName=JPEG\nFileName=a.jpg\n";
    writeText("DIRINFO.KPI", ini);
    auto result = read();
    EXPECT_EQ(result.entries.size(), 3u); // only "1", "2" and "1000000" are entry sections
    EXPECT_EQ(result.thumbnailSize, (IntPair{4096, 30}));

    RecordingSink sink;
    sink.cancelAfter = 1;
    auto cancelled = read(false, &sink);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.entries.size(), 1u); // what was read stays
}

} // namespace
} // namespace vemra
