#pragma once

#include "views/viewer_options.h"

#include <QPoint>
#include <QSize>

#include <string>

// The arithmetic of showing one picture in a window or on the screen: the
// display size by fit mode and zoom, centring and clamping, the scale shown
// in the status bar, and the full-screen window's position bar and
// information line. Pure functions, so every rule is tested on its own.
namespace vemra::viewer {

// The zoom level's limits: a step in is allowed while level x step < 8, a
// step out while -level x step < 8 (scales 1/9 to 9 with the default 0.5).
bool canZoomIn(int level, double step);
bool canZoomOut(int level, double step);
// level x step + 1 above 0, 1 / (|level| x step + 1) below, 1 at 0.
double zoomScale(int level, double step);

// The bounding box of a width x height picture turned by `angle` degrees,
// rounded outwards from its corners (a right angle swaps the sides exactly).
QSize rotatedBounds(QSize picture, double angle);

struct DisplaySize {
    QSize size;
    double scale = 1;
    // The stretching modes start every picture at zoom level 0.
    bool zoomReset = false;
};

// The display size of a picture whose turned bounding box is `bounds` in a
// client area of `client`, by `rules.fitSize` (0-3; 4 is turned first by
// the caller, see fullScreenAngle, and then fitted as 3). `zoomed` computes
// it as modes 0 and 1 do whatever the mode (after a zoom command). Every
// dimension is at least 1.
DisplaySize displaySize(QSize bounds, QSize client, int zoomLevel, const FitRules& rules,
                        bool zoomed = false);

// Mode 4: the extra turn (0, 90 or 270 degrees) that gives a picture of
// `picture` size the screen's orientation, when it makes the picture
// larger on the screen than it would be unturned.
int fullScreenAngle(QSize picture, QSize screen, const FitRules& rules);

// (client - display) / 2 per axis, 0 where negative.
QPoint centredOffset(QSize client, QSize display);
// Keeps the picture on the screen: within [0, client - display] where it
// is smaller, within [client - display, 0] where it is larger.
QPoint clampOffset(QPoint offset, QSize client, QSize display);

// "x%g" for a scale of 1 or more, "x1/%g" of its inverse below.
std::string scaleText(double scale);

// The full-screen window's position bar: a row of 10-pixel cells (9 drawn,
// 1 gap), 2 pixels high, at most one tenth of the screen width in cells.
struct PositionBar {
    static constexpr int kCellWidth = 10;
    static constexpr int kCellHeight = 2;
    int count = 0; // entries
    int width = 0; // pixels

    static PositionBar layout(int count, int screenWidth);
    int cells() const { return width / kCellWidth; }
    // The cell showing entry `index`; -1 without cells.
    int cellOf(int index) const;
    // The entry under x on the bar; -1 outside it.
    int entryAt(int x) const;
};

// Where the information line of `text` size stands on a screen: x from the
// left, or from the right edge when negative; y from the top, from the
// bottom when negative, and at 0 just below the bar (when it is shown).
QPoint infoLinePosition(int x, int y, QSize text, QSize screen, bool barShown);

} // namespace vemra::viewer
