#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <random>

namespace vemra {
namespace {

// "日本語の表示" in Shift-JIS; "表" ends in 0x5C, the byte of "\".
const std::string kSjis = "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x95\x5C\x8E\xA6";
const std::string kText = "日本語の表示";

TEST(TextEncoding, RecognisesWellFormedUtf8Only) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII text, long enough for the word-at-a-time path"));
    EXPECT_TRUE(isValidUtf8(kText));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x93\xB7 camera, \xEF\xBD\xBB half-width"));
    EXPECT_TRUE(isValidUtf8(std::string("nul\0inside", 10)));

    EXPECT_FALSE(isValidUtf8(kSjis));
    EXPECT_FALSE(isValidUtf8("\x80"));             // stray continuation byte
    EXPECT_FALSE(isValidUtf8("abc\xE6\x97"));      // cut off at the end
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));     // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xFF"));
    EXPECT_FALSE(isValidUtf8("12345678\xE6\x97\xA5x\xE6")); // bad after an ASCII run
}

TEST(TextEncoding, Utf8StaysAndShiftJisIsDecoded) {
    EXPECT_EQ(toUtf8(kText), kText);
    EXPECT_EQ(toUtf8("C:\\pictures"), "C:\\pictures");
    EXPECT_EQ(toUtf8(kSjis), kText);
    EXPECT_EQ(toUtf8("C:\\" + kSjis + "\\a.jpg"), "C:\\" + kText + "\\a.jpg");
    // Half-width katakana, single bytes in Shift-JIS.
    EXPECT_EQ(toUtf8("\xBB\xD1\xC8\xB2\xD9"), "ｻﾑﾈｲﾙ");
    // The Windows code page's own mappings: NEC special and IBM extension rows.
    EXPECT_EQ(toUtf8("\x87\x40"), "①");
    EXPECT_EQ(toUtf8("\x81\x60"), "～");
}

TEST(TextEncoding, UndecodableBytesBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(toUtf8("a\xFF"
                     "b"),
              "a" + replacement + "b");
    EXPECT_EQ(toUtf8("\x93\xFA\x93"), "日" + replacement); // lead byte cut off
    // Whatever comes in, what goes out is valid UTF-8.
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        std::string junk(random() % 64, '\0');
        for (char& c : junk) {
            c = static_cast<char>(random());
        }
        EXPECT_TRUE(isValidUtf8(toUtf8(junk)));
    }
}

TEST(TextEncoding, EncodesToShiftJisWhenPossible) {
    EXPECT_EQ(encodeCp932(kText), kSjis);
    EXPECT_EQ(encodeCp932("abc"), "abc");
    EXPECT_EQ(encodeCp932(""), "");
    EXPECT_EQ(encodeCp932("\xF0\x9F\x93\xB7"), std::nullopt); // no emoji in CP932
    EXPECT_EQ(encodeCp932(kSjis), std::nullopt);              // not UTF-8 to begin with
}

TEST(TextEncoding, PrefixNeverSplitsACharacter) {
    EXPECT_EQ(utf8Prefix("abc", 10), "abc");
    EXPECT_EQ(utf8Prefix("abc", 2), "ab");
    EXPECT_EQ(utf8Prefix("日本", 3), "日");
    EXPECT_EQ(utf8Prefix("日本", 4), "日");
    EXPECT_EQ(utf8Prefix("日本", 5), "日");
    EXPECT_EQ(utf8Prefix("日本", 2), "");
    EXPECT_EQ(utf8Prefix("日本", 0), "");
}

} // namespace
} // namespace vemra
