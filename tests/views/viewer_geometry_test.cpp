#include "views/frame_animation.h"
#include "views/viewer_geometry.h"

#include "../imaging/gif_test_support.h"

#include <gtest/gtest.h>

namespace vemra {
namespace {

using namespace viewer;

FitRules rules(int fitSize, bool zoomUp = true, bool zoomDown = true) {
    FitRules r;
    r.fitSize = fitSize;
    r.zoomUp = zoomUp;
    r.zoomDown = zoomDown;
    return r;
}

TEST(ViewerGeometry, DisplaySizesFollowTheFitModesAndTheirLimits) {
    struct Case {
        const char* what;
        QSize bounds;
        QSize client;
        int zoom;
        FitRules rules;
        QSize display;
        double scale;
    };
    const Case cases[] = {
        {"mode 0 as it is", {640, 480}, {300, 200}, 0, rules(0), {640, 480}, 1},
        {"mode 1 zoomed out twice", {640, 480}, {300, 200}, -2, rules(1), {320, 240}, 0.5},
        {"mode 1 zoomed in to the limit", {10, 10}, {300, 200}, 16, rules(1), {90, 90}, 9},
        {"mode 2 stretched", {100, 100}, {400, 300}, 3, rules(2), {400, 300}, 1},
        {"mode 2 without ZoomUp", {100, 100}, {400, 300}, 0, rules(2, false), {100, 100}, 1},
        {"mode 2 without ZoomDw", {800, 100}, {400, 300}, 0, rules(2, true, false), {800, 300}, 1},
        {"mode 3 keeps the aspect", {800, 400}, {400, 300}, 0, rules(3), {400, 200}, 0.5},
        {"mode 3 enlarges", {100, 50}, {400, 300}, 0, rules(3), {400, 200}, 4},
        {"mode 3 without ZoomUp", {100, 50}, {400, 300}, 0, rules(3, false), {100, 50}, 1},
        {"an empty client still shows a pixel", {100, 50}, {0, 0}, 0, rules(3), {1, 1}, 0.01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DisplaySize d = displaySize(c.bounds, c.client, c.zoom, c.rules);
        EXPECT_EQ(d.size, c.display);
        EXPECT_DOUBLE_EQ(d.scale, c.scale);
        EXPECT_EQ(d.zoomReset, c.rules.fitSize >= 2);
    }
    // After a zoom command the stretching modes size as mode 1 does.
    EXPECT_EQ(displaySize({100, 100}, {400, 300}, 2, rules(2), true).size, QSize(200, 200));
    // Centred in a larger window; a larger picture starts at its corner
    // and stays within reach.
    EXPECT_EQ(centredOffset({400, 300}, {100, 100}), QPoint(150, 100));
    EXPECT_EQ(centredOffset({400, 300}, {800, 100}), QPoint(0, 100));
    EXPECT_EQ(clampOffset({10, -50}, {400, 300}, {800, 100}), QPoint(0, 0));
    EXPECT_EQ(clampOffset({-900, 250}, {400, 300}, {800, 100}), QPoint(-400, 200));
}

TEST(ViewerGeometry, ZoomStopsAtNineTimesEitherWayAndReadsAsTheStatusPaneShowsIt) {
    int level = 0;
    while (canZoomIn(level, 0.5))
        ++level;
    EXPECT_EQ(level, 16);
    EXPECT_EQ(scaleText(zoomScale(level, 0.5)), "x9");
    level = 0;
    while (canZoomOut(level, 0.5))
        --level;
    EXPECT_EQ(level, -16);
    EXPECT_EQ(scaleText(zoomScale(level, 0.5)), "x1/9");
    EXPECT_EQ(scaleText(zoomScale(-2, 0.5)), "x1/2");
    EXPECT_EQ(scaleText(zoomScale(1, 0.5)), "x1.5");
    EXPECT_EQ(scaleText(1), "x1");
}

TEST(ViewerGeometry, TurnedBoundsAndTheFullScreenTurn) {
    EXPECT_EQ(rotatedBounds({640, 480}, 90), QSize(480, 640));
    EXPECT_EQ(rotatedBounds({640, 480}, 270), QSize(480, 640));
    EXPECT_EQ(rotatedBounds({640, 480}, 180), QSize(640, 480));
    EXPECT_EQ(rotatedBounds({100, 100}, 45), QSize(142, 142));
    EXPECT_EQ(displaySize(rotatedBounds({640, 480}, 90), {300, 200}, 0, rules(0)).size,
              QSize(480, 640));
    // Mode 4 turns a tall picture on a wide screen, by AngleDir.
    FitRules four = rules(4);
    EXPECT_EQ(fullScreenAngle({300, 600}, {1024, 768}, four), 90);
    four.angleDir = 1;
    EXPECT_EQ(fullScreenAngle({300, 600}, {1024, 768}, four), 270);
    EXPECT_EQ(fullScreenAngle({600, 300}, {1024, 768}, four), 0);
    // A small picture not enlarged (ZoomUp 0) gains nothing by turning.
    EXPECT_EQ(fullScreenAngle({30, 60}, {1024, 768}, rules(4, false)), 0);
}

TEST(ViewerGeometry, PositionBarCellsAndTheInformationLine) {
    const PositionBar bar = PositionBar::layout(3000, 1024);
    EXPECT_EQ(bar.width, 1000);
    EXPECT_EQ(bar.cells(), 100);
    EXPECT_EQ(bar.cellOf(0), 0);
    EXPECT_EQ(bar.cellOf(2999), 99);
    EXPECT_EQ(bar.cellOf(1500), 50);
    EXPECT_EQ(bar.entryAt(500), 1500);
    EXPECT_EQ(bar.entryAt(1000), -1);
    const PositionBar few = PositionBar::layout(5, 1024);
    EXPECT_EQ(few.cells(), 5);
    EXPECT_EQ(few.cellOf(4), 4);
    EXPECT_EQ(PositionBar::layout(0, 1024).cellOf(0), -1);

    const QSize screen(1024, 768);
    const QSize text(200, 16);
    // -10: the line ends 10 pixels from the right edge.
    EXPECT_EQ(infoLinePosition(-10, 0, text, screen, true), QPoint(814, 7));
    EXPECT_EQ(infoLinePosition(10, 0, text, screen, false), QPoint(10, 0));
    EXPECT_EQ(infoLinePosition(10, -4, text, screen, true), QPoint(10, 748));
    EXPECT_EQ(infoLinePosition(10, 30, text, screen, true), QPoint(10, 30));
}

// Frames of 0, 10 and 250 hundredths: shown 55-ms ticks apart (the first
// pass composes one frame per tick), then for their delays within 27 ms.
TEST(FrameAnimation, FramesAdvanceByTheirDelaysOnAFakeClock) {
    EXPECT_EQ(FrameAnimation::delayMs(7), 70);
    EXPECT_EQ(FrameAnimation::delayMs(199), 1990);
    EXPECT_EQ(FrameAnimation::delayMs(200), 2000);
    EXPECT_EQ(FrameAnimation::delayMs(60000), 2000);

    std::vector<test::GifFrameSpec> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back({0, 0, 4, 4, std::vector<std::uint8_t>(16, std::uint8_t(i)), 0, 1});
    frames[1].delay = 10;
    frames[2].delay = 250;
    FrameAnimation animation;
    ASSERT_TRUE(animation.open(test::writeGif(4, 4, 2, frames)));
    EXPECT_EQ(animation.frameCount(), 3);
    EXPECT_EQ(animation.decodedCount(), 1);
    animation.start(0);
    EXPECT_TRUE(animation.tick(55)); // frame 0 waits for nothing
    EXPECT_EQ(animation.current(), 1);
    EXPECT_EQ(animation.decodedCount(), 2);
    EXPECT_FALSE(animation.tick(110 - 30)); // 100 ms not yet over, even with 27 ms
    EXPECT_TRUE(animation.tick(55 + 100 - 27));
    EXPECT_EQ(animation.current(), 2);
    EXPECT_EQ(animation.frameDelayMs(2), 2000);
    EXPECT_FALSE(animation.tick(128 + 1900));
    EXPECT_TRUE(animation.tick(128 + 1980));
    EXPECT_EQ(animation.current(), 0); // wrapped after the last

    // Full screen: a frame stays at least DelayTime, even at delay 0.
    FrameAnimation full;
    ASSERT_TRUE(full.open(test::writeGif(4, 4, 2, frames)));
    full.start(0);
    EXPECT_TRUE(full.tickFullScreen(0, 100)); // composes and shows frame 1
    EXPECT_FALSE(full.tickFullScreen(50, 100));
    EXPECT_TRUE(full.tickFullScreen(100, 100));
    EXPECT_EQ(full.current(), 2);
    EXPECT_FALSE(full.tickFullScreen(1900, 100)); // frame 2 stays 2000 ms
    EXPECT_TRUE(full.tickFullScreen(2100, 100));
    EXPECT_EQ(full.current(), 0);
    EXPECT_FALSE(full.tickFullScreen(2150, 100));
    EXPECT_TRUE(full.tickFullScreen(2200, 100)); // delay 0: DelayTime

    // One frame, or none, is no animation.
    FrameAnimation still;
    EXPECT_FALSE(still.open(test::writeGif(4, 4, 2, {frames[0]})));
    EXPECT_FALSE(still.open({}));
}

} // namespace
} // namespace vemra
