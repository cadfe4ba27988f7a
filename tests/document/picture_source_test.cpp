#include "document/picture_source.h"

#include "../imaging/test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(PictureSource, CopyDuplicatesPicturesAndClearForgetsOnlyWhatWasLearnt) {
    PictureSource a;
    a.decoder = kJpegDecoderId;
    a.folder = "/pics";
    a.fileName = "a.jpg";
    a.length = 5'000'000'000ull; // beyond 32 bits
    a.lastWriteTime = 1'700'000'000;
    a.infoText = "comment";
    a.note = "note";
    a.state = PictureSource::kSelected;
    a.thumbnail = test::patternPicture(8, 6, 24);
    a.cellPicture = test::patternPicture(4, 4, 8);
    EntryAppearance own;
    own.fontFaceName = "IPAGothic";
    a.appearance = std::make_shared<const EntryAppearance>(own);

    PictureSource b = a;
    ASSERT_TRUE(b.thumbnail.isValid());
    EXPECT_NE(b.thumbnail.block().data(), a.thumbnail.block().data()); // a real copy
    EXPECT_TRUE(std::equal(b.thumbnail.block().begin(), b.thumbnail.block().end(),
                           a.thumbnail.block().begin()));
    EXPECT_EQ(b.length, a.length);
    EXPECT_EQ(b.appearance->fontFaceName, "IPAGothic");
    EXPECT_TRUE(b.isSelected());
    EXPECT_FALSE(b.iconPicture);

    b.clear();
    EXPECT_EQ(b.decoder, kNoDecoder);
    EXPECT_TRUE(b.infoText.empty());
    EXPECT_FALSE(b.thumbnail);
    EXPECT_FALSE(b.cellPicture);
    EXPECT_EQ(b.fileName, "a.jpg"); // identity and note stay
    EXPECT_EQ(b.note, "note");
    EXPECT_TRUE(a.thumbnail.isValid()); // the original keeps its own

    a = a; // self-assignment is harmless
    EXPECT_TRUE(a.thumbnail.isValid());
}

TEST(PictureSource, PathsOfFilesAndMembers) {
    PictureSource file;
    file.folder = "/pics";
    file.fileName = "a.jpg";
    EXPECT_EQ(file.fullPath(), "/pics/a.jpg");
    EXPECT_EQ(file.archiveFullPath(), "");
    EXPECT_FALSE(file.isArchiveMember());

    PictureSource member = file;
    member.fileName = "inner.png";
    member.archiveFileName = "set.zip";
    EXPECT_TRUE(member.isArchiveMember());
    EXPECT_EQ(member.fullPath(), "inner.png");
    EXPECT_EQ(member.archiveFullPath(), "/pics/set.zip");
    EXPECT_EQ(member.cellX, PictureSource::kNotPlaced);
    EXPECT_EQ(member.fitMode, 1);
}

} // namespace
} // namespace vemra
