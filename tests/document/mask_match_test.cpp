#include "document/mask_match.h"
#include "document/size_text.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(MaskMatch, NamesWithAndWithoutExtension) {
    EXPECT_FALSE(matchesMask("README", "*.*")); // a name without "." never matches "*.*"
    EXPECT_TRUE(matchesMask("README", "*"));
    EXPECT_FALSE(matchesMask("a.jpg", "*")); // "*" alone: only names without "."
    EXPECT_TRUE(matchesMask("Photo.JPG", "*.jpg"));
    EXPECT_TRUE(matchesMask("x.tar.jpg", "*.jpg")); // cut at the last "."
    EXPECT_TRUE(matchesMask("img01.png", "img??.png"));
    EXPECT_FALSE(matchesMask("img1.png", "img??.png"));
    EXPECT_TRUE(matchesMask("a.jpeg", "*.jp*"));
    EXPECT_TRUE(matchesMask("写真.jpg", "??.jpg"));
    // A literal after "*" is taken at its first occurrence, without backtracking.
    EXPECT_TRUE(matchesMask("xab.jpg", "*ab.jpg"));
    EXPECT_FALSE(matchesMask("abab.jpg", "*ab.jpg"));

    EXPECT_TRUE(matchesMaskList("a.png", "*.jpg;*.png"));
    EXPECT_FALSE(matchesMaskList("a.gif", "*.jpg;;*.png;"));
    EXPECT_FALSE(matchesMaskList("a.gif", ""));
}

TEST(SizeText, UnitsDecimalsAndSeparators) {
    EXPECT_EQ(sizeText(0, 1, 2), "0.0B");
    EXPECT_EQ(sizeText(999, 1, 2), "999.0B");
    EXPECT_EQ(sizeText(1536, 1, 2), "1.5KB");
    EXPECT_EQ(sizeText(5ull << 30, 1, 2), "5,120.0MB"); // at most twice
    EXPECT_EQ(sizeText(5ull << 30, 0, 3), "5GB");
    EXPECT_EQ(sizeText(1000, 0, 0), "1,000B");
}

} // namespace
} // namespace vemra
