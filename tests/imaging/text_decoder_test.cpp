// The text renderer (1004): which files it takes and how pages look.

#include "decoder_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QFontInfo>

#include <cstring>

namespace vemra {
namespace {

std::vector<std::byte> text(std::string_view s) {
    std::vector<std::byte> out(s.size());
    std::memcpy(out.data(), s.data(), s.size());
    return out;
}

PictureBuffer render(std::string_view s, const DecodeOptions& options = {}) {
    test::ensureGuiApplication();
    auto d = test::decodeMemory(kTextDecoderId, text(s), options);
    EXPECT_EQ(d.code, 0);
    return std::move(d.picture);
}

bool samePixels(const PictureBuffer& a, const PictureBuffer& b) {
    return a.totalBytes() == b.totalBytes() &&
           std::memcmp(a.pixels().data(), b.pixels().data(), a.imageBytes()) == 0;
}

// Bands of rows holding ink (anything but the page colour of the top-left).
int inkBands(const PictureBuffer& p) {
    const std::uint32_t paper = p.pixel(0, 0);
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < p.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < p.width() && !ink; ++x) {
            ink = p.pixel(x, y) != paper;
        }
        bands += ink && !inBand ? 1 : 0;
        inBand = ink;
    }
    return bands;
}

TEST(TextDecoder, IdentifiesShiftJisAndUtf8Text) {
    EXPECT_TRUE(test::identifies(kTextDecoderId, text("Hello, world\r\n")));
    EXPECT_TRUE(test::identifies(kTextDecoderId, text("\x93\xfa\x96\x7b\x8c\xea\r\n"))); // 日本語
    EXPECT_TRUE(test::identifies(kTextDecoderId, text("\xb6\xc0\xb6\xc5"))); // ｶﾀｶﾅ
    EXPECT_TRUE(test::identifies(kTextDecoderId, text("日本語のテキスト\n")));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text("<html>hi</html>"), "page.HTM"));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text("hi"), "page.shtml"));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text("\r\n\t\x1a")));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text("abc\x01")));
    EXPECT_FALSE(test::identifies(kTextDecoderId,
                                  test::bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0,
                                               0x0D, 'I', 'H', 'D', 'R',  0,    0,    0,    1})));
    EXPECT_FALSE(test::identifies(kTextDecoderId, test::bytes({'B', 'M', 0x36, 0x10, 0, 0})));
    // A lead byte must be followed by a real trail byte, wherever it stands.
    std::string edge(2046, 'a');
    EXPECT_TRUE(test::identifies(kTextDecoderId, text(edge + "\x88\x9f")));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text(edge + "\x88\x10")));
    EXPECT_FALSE(test::identifies(kTextDecoderId, text(std::string("abc\x91\x00"
                                                                   "def",
                                                                   7))));
    const auto gif = test::readFile(std::string(VEMRA_SOURCE_DIR) + "/samples/bouncing-ball.gif");
    EXPECT_FALSE(test::identifies(kTextDecoderId, gif));
}

TEST(TextDecoder, PageSizeFollowsTheSettingsAndTheRequest) {
    test::ensureGuiApplication();
    auto info = test::infoMemory(kTextDecoderId, text("x"));
    EXPECT_EQ(info.info.width, 480);
    EXPECT_EQ(info.info.height, 480);
    EXPECT_EQ(info.info.colorDepth, 24);
    DecodeOptions narrow;
    narrow.textLayout = textLayoutFromSetting("20,0");
    EXPECT_EQ(test::infoMemory(kTextDecoderId, text("x"), narrow).info.width, 240);
    EXPECT_EQ(test::infoMemory(kTextDecoderId, text("x"), narrow).info.height, 480);
    EXPECT_EQ(render("x", narrow).width(), 240);
    // Absurd or damaged fields keep the layout's own.
    EXPECT_EQ(textLayoutFromSetting("0,x").charactersPerLine, 40);
    EXPECT_EQ(textLayoutFromSetting("99999,5").linesPerPage, 5);
    EXPECT_EQ(textLayoutFromSetting("99999,5").charactersPerLine, 40);
    const PictureBuffer p = render("x");
    EXPECT_EQ(p.width(), 480);
    EXPECT_EQ(p.bitCount(), 24);
    DecodeOptions options;
    options.requestedWidth = 200;
    options.requestedHeight = 100;
    EXPECT_EQ(render("x", options).width(), 200);
    EXPECT_EQ(render("x", options).height(), 100);
}

TEST(TextDecoder, BlankLinesAreDroppedAndLongLinesCut) {
    const PictureBuffer windows = render("first\r\n\r\n\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(inkBands(windows), 3);
    EXPECT_TRUE(samePixels(windows, render("first\nsecond\nthird")));
    const std::string long80(80, 'w');
    EXPECT_TRUE(samePixels(render(long80 + "tail\nnext"), render(long80 + "\nnext")));
    EXPECT_TRUE(samePixels(render("a\tb"), render("a   b")));
    EXPECT_TRUE(samePixels(render("ab\tc"), render("ab  c")));
}

TEST(TextDecoder, ShiftJisIsDecodedAndTheFontFound) {
    EXPECT_TRUE(samePixels(render("\x93\xfa\x96\x7b"), render("日本")));
    EXPECT_EQ(inkBands(render("日本")), 1);
    EXPECT_TRUE(QFontInfo(QFont(QStringLiteral("ＭＳ ゴシック"))).family().contains("IPA"));
    // Lines past the bottom of the page are not drawn.
    std::string many;
    for (int i = 0; i < 100; ++i) {
        many += "line\n";
    }
    EXPECT_EQ(inkBands(render(many)), inkBands(render(many.substr(0, 5 * 40))));
}

} // namespace
} // namespace vemra
