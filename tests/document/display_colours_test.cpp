#include "document/display_colours.h"

#include "../imaging/colour_test_support.h"
#include "../imaging/test_support.h"
#include "document/picture_source.h"
#include "document/thumb_cache.h"
#include "fake_scan_services.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(DisplayColours, TheTargetTheOptionsAskFor) {
    test::TempDir dir;
    const std::string p3File = dir.file("p3.icc");
    test::writeFile(p3File, test::displayP3Profile());
    const std::string greyFile = dir.file("grey.icc");
    test::writeFile(greyFile, test::greyProfile());
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const auto p3Mark = DisplayColour::fromProfile(test::displayP3Profile())->mark();
    const auto adobeMark = DisplayColour::fromProfile(adobe)->mark();
    const struct {
        const char* what;
        bool managed;
        std::string file;
        std::vector<std::byte> desktop;
        std::uint16_t mark;
    } cases[] = {
        {"off", false, p3File, adobe, 0},
        {"nothing set", true, "", {}, 1},
        {"the desktop's", true, "", adobe, adobeMark},
        {"the file before the desktop's", true, p3File, adobe, p3Mark},
        {"an unusable file", true, greyFile, adobe, adobeMark},
        {"a missing file", true, dir.file("none.icc"), {}, 1},
        {"an unusable desktop profile", true, "", test::greyProfile(), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(colourMarkOf(chooseDisplayColour(c.managed, c.file, c.desktop)), c.mark)
            << c.what;
    // The same target again is the same object, so entries need not change.
    const auto first = chooseDisplayColour(true, p3File, {});
    EXPECT_EQ(chooseDisplayColour(true, p3File, adobe, first), first);
    EXPECT_NE(chooseDisplayColour(true, "", adobe, first), first);
}

TEST(DisplayColours, DecodedPicturesTakeTheirFilesProfile) {
    test::TempDir dir;
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const PictureBuffer pattern = test::patternPicture(20, 12, 24);
    test::writeFile(dir.file("tagged.png"), test::pngWithProfile(pattern, adobe));
    test::writeFile(dir.file("untagged.png"), test::pngWithProfile(pattern, {}));
    PictureBuffer expected = pattern.duplicate();
    convertToDisplay(expected, adobe, *DisplayColour::srgb());

    PictureSource entry;
    entry.folder = dir.path().string();
    entry.fileName = "tagged.png";
    const auto converted = [&](const PictureSource& e) {
        PictureBuffer p = pattern.duplicate();
        convertForDisplay(p, e);
        return std::equal(p.block().begin(), p.block().end(), expected.block().begin());
    };
    const auto untouched = [&](const PictureSource& e) {
        PictureBuffer p = pattern.duplicate();
        convertForDisplay(p, e);
        return std::equal(p.block().begin(), p.block().end(), pattern.block().begin());
    };
    EXPECT_TRUE(untouched(entry)) << "management off";
    entry.drawing.colour = DisplayColour::srgb();
    EXPECT_TRUE(converted(entry));
    entry.fileName = "untagged.png";
    EXPECT_TRUE(untouched(entry));
    entry.fileName = "tagged.png";
    entry.archiveFileName = "pack.zip"; // members are taken as untagged
    EXPECT_TRUE(untouched(entry));
}

// A thumbnail made for one display is not taken from the cache for another,
// nor one made before colours were managed.
TEST(DisplayColours, CachedThumbnailsKeepTheTargetTheyWereMadeFor) {
    test::TempDir pictures;
    test::FakeScanServices services;
    ThumbCache cache;
    const auto srgb = DisplayColour::srgb();
    const auto p3 = DisplayColour::fromProfile(test::displayP3Profile());
    const auto stored = [&](std::shared_ptr<const DisplayColour> target, bool frame) {
        PictureSource e;
        e.folder = pictures.path().string();
        e.fileName = "a.jpg";
        e.decoder = kJpegDecoderId;
        e.length = 100;
        e.lastWriteTime = 1'600'000'000;
        e.drawing.frame = frame;
        e.drawing.colour = target;
        e.colourMarkUsed = colourMarkOf(target);
        e.orientation = 1; // its metadata was read, so the record is not made again for that
        e.thumbnail = test::patternPicture(8, 8, 24);
        EXPECT_TRUE(cache.store(e, services));
        EXPECT_TRUE(cache.writeAll());
        cache.closeAll();
        return e;
    };
    const auto found = [&](const PictureSource& made, std::shared_ptr<const DisplayColour> now) {
        PictureSource e;
        e.folder = made.folder;
        e.fileName = made.fileName;
        e.length = made.length;
        e.lastWriteTime = made.lastWriteTime;
        e.drawing.colour = now;
        const bool ok = cache.lookUp(e, services);
        EXPECT_TRUE(!ok || e.colourMarkUsed == colourMarkOf(now));
        cache.closeAll();
        return ok;
    };
    const PictureSource managed = stored(srgb, true);
    EXPECT_TRUE(found(managed, srgb));
    EXPECT_FALSE(found(managed, p3));
    EXPECT_FALSE(found(managed, nullptr));
    const std::optional<ThumbRecord> record = cache.findOrOpen(managed.folder).find("a.jpg", "");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->u32(ThumbRecord::Frame) & 0xFFFF, 1u); // the flag stays readable
    EXPECT_EQ(record->colourMark(), 1);
    cache.closeAll();

    const PictureSource older = stored(nullptr, false);
    EXPECT_TRUE(found(older, nullptr));
    EXPECT_FALSE(found(older, srgb));
}

} // namespace
} // namespace vemra
