#include "platform/field_list.h"

#include <gtest/gtest.h>

#include <clocale>

namespace vemra {
namespace {

TEST(FieldList, CutsAtCommasOutsideQuotes) {
    EXPECT_EQ(fieldAt("110,120", 0), "110");
    EXPECT_EQ(fieldAt("110,120", 1), "120");
    EXPECT_EQ(fieldAt("110,120", 2), std::nullopt);
    EXPECT_EQ(fieldAt("", 0), "");
    EXPECT_EQ(fieldAt("a,,b", 1), "");
    EXPECT_EQ(fieldAt("\"a,b\",c", 0), "a,b");
    EXPECT_EQ(fieldAt("\"a,b\",c", 1), "c");
    // The text between the first and the last quote, whatever is around it.
    EXPECT_EQ(fieldAt("x\"$(PicName)\"y", 0), "$(PicName)");
    EXPECT_EQ(fieldAt("\"say \"hi\"\"", 0), "say \"hi\"");
    // An unterminated quote runs to the end and keeps its commas.
    EXPECT_EQ(fieldAt("a,\"b,c", 1), "b,c");
    EXPECT_EQ(fieldCount("a,\"b,c"), 2u);

    const std::vector<std::string_view> expected{"$(PicName)", "", "x,y"};
    EXPECT_EQ(splitFields("\"$(PicName)\",,\"x,y\""), expected);
    EXPECT_EQ(fieldCount(""), 1u);
    EXPECT_EQ(fieldCount("1,2,3,4"), 4u);
}

TEST(FieldList, NumbersAreReadLeniently) {
    EXPECT_EQ(toInt("42"), 42);
    EXPECT_EQ(toInt("  -7xyz"), -7);
    EXPECT_EQ(toInt("\t+12"), 12);
    EXPECT_EQ(toInt("abc"), 0);
    EXPECT_EQ(toInt(""), 0);
    EXPECT_EQ(toInt("-"), 0);
    EXPECT_EQ(toInt("2147483647"), 2147483647);
    EXPECT_EQ(toInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(toInt("99999999999999"), 2147483647);
    EXPECT_EQ(toInt("-99999999999999"), -2147483647 - 1);
    EXPECT_EQ(toInt64("4294967295"), 4294967295LL);
    EXPECT_EQ(toInt64("99999999999999999999999"), INT64_MAX);

    EXPECT_DOUBLE_EQ(toReal("0.5"), 0.5);
    EXPECT_DOUBLE_EQ(toReal(" 0.25abc"), 0.25);
    EXPECT_DOUBLE_EQ(toReal("+1"), 1.0);
    EXPECT_DOUBLE_EQ(toReal("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(toReal("x"), 0.0);
    EXPECT_DOUBLE_EQ(toReal(""), 0.0);
}

TEST(FieldList, RealsAreWrittenAsPercentF) {
    EXPECT_EQ(formatReal(0.5), "0.500000");
    EXPECT_EQ(formatReal(1), "1.000000");
    EXPECT_EQ(formatReal(-0.125), "-0.125000");
    EXPECT_EQ(formatReal(1.0 / 3), "0.333333");
    // A process locale with a decimal comma must not leak into stored files.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(formatReal(0.5), "0.500000");
        EXPECT_DOUBLE_EQ(toReal("0.5"), 0.5);
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(FieldList, PairsRectanglesAndLists) {
    EXPECT_EQ(readPair("110,120"), (IntPair{110, 120}));
    EXPECT_EQ(readPair("110"), (IntPair{110, 0}));
    EXPECT_EQ(readPair("x,5"), (IntPair{0, 5}));
    EXPECT_EQ(readPair(" 7, 8 "), (IntPair{7, 8}));
    EXPECT_EQ(formatPair({110, 120}), "110,120");

    EXPECT_EQ(readRect("0,0,640,480"), (IntRect{0, 0, 640, 480}));
    EXPECT_EQ(readRect("-1,2"), (IntRect{-1, 2, 0, 0}));
    EXPECT_EQ(formatRect({-1, 2, 640, 480}), "-1,2,640,480");

    EXPECT_EQ(readIntList(""), std::vector<int>{});
    EXPECT_EQ(readIntList("1,1,1,1,0,1,1,1,1"), (std::vector<int>{1, 1, 1, 1, 0, 1, 1, 1, 1}));
    const std::vector<int> values{3, -4, 5};
    EXPECT_EQ(formatIntList(values), "3,-4,5");

    const std::vector<std::string> texts{"$(PicName)", "a,b"};
    const std::string quoted = formatQuotedList(texts);
    EXPECT_EQ(quoted, "\"$(PicName)\",\"a,b\"");
    EXPECT_EQ(splitFields(quoted), (std::vector<std::string_view>{"$(PicName)", "a,b"}));
}

} // namespace
} // namespace vemra
