#include "views/main_status_bar.h"
#include "views/thumb_size_menu.h"

#include "views_test_support.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace vemra {
namespace {

TEST(ProgressPane, FillsToThePercentageWithInverseText) {
    ProgressPane standalone;
    ProgressPane* pane = &standalone;
    pane->resize(200, 20);
    EXPECT_EQ(pane->text(), QString());

    pane->setPercent(25);
    EXPECT_EQ(pane->text(), QStringLiteral("ｻﾑﾈｲﾙ作成 25%"));
    const QImage image = pane->grab().toImage();
    test::saveScreenshot(image, "progress_pane_25.png");
    // Dark blue up to a quarter of the width, white beyond (away from the text).
    EXPECT_EQ(image.pixelColor(2, 1), QColor(0, 0, 0x80));
    EXPECT_EQ(image.pixelColor(48, 1), QColor(0, 0, 0x80));
    EXPECT_EQ(image.pixelColor(52, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(198, 18), QColor(Qt::white));
    // The text shows in white over the fill and in blue over the white part.
    bool whiteInFill = false, blueInWhite = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (x < 50 && c.blue() > 0x90 && c.red() > 0x40) {
                whiteInFill = true;
            }
            if (x > 50 && c.red() < 0xC0 && c.blue() > c.red()) {
                blueInWhite = true;
            }
        }
    }
    EXPECT_TRUE(blueInWhite);
    // At 25% the centred text may begin past the fill; at 90% it is inside.
    pane->setPercent(90);
    const QImage full = pane->grab().toImage();
    for (int y = 0; y < full.height() && !whiteInFill; ++y) {
        for (int x = 0; x < 170; ++x) {
            const QColor c = full.pixelColor(x, y);
            if (c.red() > 0x80 && c.green() > 0x80) {
                whiteInFill = true;
            }
        }
    }
    EXPECT_TRUE(whiteInFill);

    // Out-of-range values are kept within 0..100; 0 clears the pane.
    pane->setPercent(250);
    EXPECT_EQ(pane->percent(), 100);
    pane->setPercent(0);
    EXPECT_EQ(pane->text(), QString());
    EXPECT_EQ(pane->grab().toImage().pixelColor(2, 1), QColor(Qt::white));

    // The status bar passes progress to its last pane only.
    MainStatusBar bar;
    bar.setPaneProgress(MainStatusBar::kProgressPane, 25);
    EXPECT_EQ(bar.paneText(MainStatusBar::kProgressPane), QStringLiteral("ｻﾑﾈｲﾙ作成 25%"));
    bar.setPaneProgress(1, 50);
    EXPECT_EQ(bar.progressPane()->percent(), 25);
}

TEST(StatusBar, FourPanesTakeTheirTexts) {
    MainStatusBar bar;
    bar.setPaneText(0, "選択 1 ﾌｧｲﾙ(1.0KB)");
    bar.setPaneText(1, "全 3 ﾌｧｲﾙ(9.0KB)");
    bar.setPaneText(2, "/ [0000ABCD] 空 1.0GB / 全 2.0GB");
    bar.setPaneText(3, "ignored");
    bar.setPaneText(-1, "ignored");
    bar.setPaneText(7, "ignored");
    EXPECT_EQ(bar.paneText(0), QStringLiteral("選択 1 ﾌｧｲﾙ(1.0KB)"));
    EXPECT_EQ(bar.paneText(1), QStringLiteral("全 3 ﾌｧｲﾙ(9.0KB)"));
    EXPECT_EQ(bar.paneText(2), QStringLiteral("/ [0000ABCD] 空 1.0GB / 全 2.0GB"));
    EXPECT_EQ(bar.paneText(3), QString());
    for (int i = 0; i < MainStatusBar::kPaneCount; ++i) {
        ASSERT_NE(bar.pane(i), nullptr);
    }
    EXPECT_EQ(bar.pane(4), nullptr);
    // The panes sized by their texts are at least as wide as their fixed widths.
    EXPECT_GE(bar.pane(0)->minimumWidth(), 150);
    EXPECT_GE(bar.pane(1)->minimumWidth(), 150);
    EXPECT_GE(bar.progressPane()->sizeHint().width(), 100);

    // In a window of the default 640 pixels a long volume line is cut; the
    // progress keeps room for its whole text.
    QWidget window;
    auto* inWindow = new MainStatusBar(&window);
    inWindow->setPaneText(0, "選択 26 ﾌｧｲﾙ(33.3MB)");
    inWindow->setPaneText(1, "全 26 ﾌｧｲﾙ(33.3MB)");
    inWindow->setPaneText(2, "/ [E9022AFB] 空 67,321MB / 全 258,020MB on a long mount name");
    inWindow->setPaneProgress(MainStatusBar::kProgressPane, 100);
    inWindow->setGeometry(0, 0, 640, 24);
    window.resize(640, 24);
    window.show();
    QCoreApplication::processEvents();
    ProgressPane* progress = inWindow->progressPane();
    EXPECT_GE(progress->width(), progress->fontMetrics().horizontalAdvance(progress->text()));
    EXPECT_LE(progress->geometry().right(), 640);
    test::saveScreenshot(inWindow->grab().toImage(), "status_bar_640.png");
}

class SizeMenuTest : public ::testing::Test {
protected:
    SizeMenuTest() : m_store(m_dir.file("vemra.ini")) {}
    std::vector<int> ids() {
        std::vector<int> result;
        for (const auto& item : thumb_size_menu::build(m_store)) {
            result.push_back(item.id);
        }
        return result;
    }
    test::TempDir m_dir;
    SettingsStore m_store;
};

TEST_F(SizeMenuTest, DefaultRangeListsFifteenDivideItems) {
    const auto items = thumb_size_menu::build(m_store);
    ASSERT_EQ(items.size(), 2u + 15u);
    EXPECT_EQ(items[0], (thumb_size_menu::Item{8100, "現在値を記憶"}));
    EXPECT_EQ(items[1].id, 0);
    EXPECT_EQ(items[2], (thumb_size_menu::Item{8002, "&2 分割"}));
    EXPECT_EQ(items.back(), (thumb_size_menu::Item{8016, "&16 分割"}));
    // The range is written back as it was read.
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsFirst"), "2");
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsLast"), "16");

    // A damaged range is kept to the ids the menu can use.
    m_store.putInt("MainFrame", "ThumbsFirst", -5);
    m_store.putInt("MainFrame", "ThumbsLast", 100000);
    const auto wide = ids();
    EXPECT_EQ(wide.size(), 2u + 99u);
    EXPECT_EQ(wide[2], 8001);
    EXPECT_EQ(wide.back(), 8099);
    m_store.putInt("MainFrame", "ThumbsFirst", 9);
    m_store.putInt("MainFrame", "ThumbsLast", 3);
    EXPECT_EQ(ids(), (std::vector<int>{8100, 0}));
}

TEST_F(SizeMenuTest, RememberingMovesSizesDownAndTheTenthDropsOff) {
    EXPECT_TRUE(thumb_size_menu::remember(m_store, {110, 110}));
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize0"), "110,110");
    // Already listed: nothing changes.
    EXPECT_FALSE(thumb_size_menu::remember(m_store, {110, 110}));
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize1"), "");

    for (int n = 1; n <= 9; ++n) {
        EXPECT_TRUE(thumb_size_menu::remember(m_store, {100 + n, 80}));
    }
    // Ten sizes: 109..101, then 110,110 as the tenth.
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize0"), "109,80");
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize9"), "110,110");
    // An entry further down the list also counts as listed.
    EXPECT_FALSE(thumb_size_menu::remember(m_store, {101, 80}));
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize9"), "110,110");
    // The eleventh pushes the tenth out.
    EXPECT_TRUE(thumb_size_menu::remember(m_store, {64, 48}));
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize0"), "64,48");
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize9"), "101,80");
    EXPECT_FALSE(m_store.getText("MainFrame", "ThumbsSize10").size() > 0);

    const auto items = thumb_size_menu::build(m_store);
    ASSERT_EQ(items.size(), 2u + 10u + 1u + 15u);
    EXPECT_EQ(items[2], (thumb_size_menu::Item{8101, "64x48"}));
    EXPECT_EQ(items[11], (thumb_size_menu::Item{8110, "101x80"}));
    EXPECT_EQ(items[12].id, 0);
    EXPECT_EQ(thumb_size_menu::rememberedSize(m_store, 8101), (IntPair{64, 48}));
    EXPECT_EQ(thumb_size_menu::rememberedSize(m_store, 8111), std::nullopt);
    EXPECT_EQ(thumb_size_menu::rememberedSize(m_store, 8100), std::nullopt);
}

TEST_F(SizeMenuTest, GapsInTheStoredListAreSkipped) {
    m_store.putText("MainFrame", "ThumbsSize3", "96,72");
    const auto items = thumb_size_menu::build(m_store);
    EXPECT_EQ(items[2], (thumb_size_menu::Item{8104, "96x72"}));
    EXPECT_EQ(items[3].id, 0);
    // The whole list moves down by one, so no copy stays behind in a gap.
    EXPECT_TRUE(thumb_size_menu::remember(m_store, {50, 50}));
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize0"), "50,50");
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize3"), "");
    EXPECT_EQ(m_store.getText("MainFrame", "ThumbsSize4"), "96,72");
    EXPECT_EQ(thumb_size_menu::build(m_store).size(), 2u + 2u + 1u + 15u);
}

} // namespace
} // namespace vemra
