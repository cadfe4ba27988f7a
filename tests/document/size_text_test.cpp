#include "document/size_text.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

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
