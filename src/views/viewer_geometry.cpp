#include "views/viewer_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace vemra::viewer {
namespace {

// A scale reached by zooming is never above 9 with the stored limits; the
// cap only keeps absurd stored steps from overflowing sizes.
constexpr double kLargestScale = 64;

int scaled(int length, double scale) {
    const double value = std::floor(length * scale);
    return static_cast<int>(std::clamp(value, 1.0, 1.0e9));
}

// The stretching modes' limits per dimension.
int limited(int shown, int own, const FitRules& rules) {
    if (!rules.zoomUp)
        shown = std::min(shown, own);
    if (!rules.zoomDown)
        shown = std::max(shown, own);
    return shown;
}

double aspectScale(QSize bounds, QSize client) {
    const double sx = bounds.width() > 0 ? double(client.width()) / bounds.width() : 0;
    const double sy = bounds.height() > 0 ? double(client.height()) / bounds.height() : 0;
    return std::min(sx, sy);
}

} // namespace

bool canZoomIn(int level, double step) {
    return level * step < 8;
}

bool canZoomOut(int level, double step) {
    return -level * step < 8;
}

double zoomScale(int level, double step) {
    if (level > 0)
        return std::min(kLargestScale, level * step + 1);
    if (level < 0)
        return 1 / (-level * step + 1);
    return 1;
}

QSize rotatedBounds(QSize picture, double angle) {
    const double turned = std::fmod(std::fmod(angle, 360) + 360, 360);
    const int w = picture.width();
    const int h = picture.height();
    // Right angles are exact: the corner arithmetic would add a pixel to
    // each side from the sine's rounding.
    for (int quarter = 0; quarter < 4; ++quarter) {
        if (std::fabs(turned - quarter * 90) < 0.0001 || std::fabs(turned - 360) < 0.0001)
            return quarter % 2 == 1 ? QSize(h, w) : QSize(w, h);
    }
    const double radians = turned * 3.14159265358979323846 / 180;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const std::array<std::array<double, 2>, 4> corners{
        {{0, 0}, {double(w), 0}, {0, double(h)}, {double(w), double(h)}}};
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const auto& [x, y] : corners) {
        const double rx = x * c - y * s;
        const double ry = x * s + y * c;
        minX = std::min(minX, rx);
        maxX = std::max(maxX, rx);
        minY = std::min(minY, ry);
        maxY = std::max(maxY, ry);
    }
    const int width = static_cast<int>(std::trunc(maxX + 0.9) - std::trunc(minX - 0.9));
    const int height = static_cast<int>(std::trunc(maxY + 0.9) - std::trunc(minY - 0.9));
    return {std::max(1, width), std::max(1, height)};
}

DisplaySize displaySize(QSize bounds, QSize client, int zoomLevel, const FitRules& rules,
                        bool zoomed) {
    DisplaySize result;
    const int mode = zoomed ? 1 : rules.fitSize;
    if (mode == 2) {
        result.size = QSize(limited(client.width(), bounds.width(), rules),
                            limited(client.height(), bounds.height(), rules));
        result.zoomReset = true;
    } else if (mode == 3 || mode == 4) {
        result.scale = aspectScale(bounds, client);
        result.size = QSize(limited(scaled(bounds.width(), result.scale), bounds.width(), rules),
                            limited(scaled(bounds.height(), result.scale), bounds.height(), rules));
        if (bounds.width() > 0)
            result.scale = double(result.size.width()) / bounds.width();
        result.zoomReset = true;
    } else {
        result.scale = zoomScale(zoomLevel, rules.zoomStep);
        result.size =
            QSize(scaled(bounds.width(), result.scale), scaled(bounds.height(), result.scale));
    }
    result.size = result.size.expandedTo(QSize(1, 1));
    return result;
}

int fullScreenAngle(QSize picture, QSize screen, const FitRules& rules) {
    const bool pictureWide = picture.width() > picture.height();
    const bool screenWide = screen.width() > screen.height();
    if (picture.width() == picture.height() || pictureWide == screenWide)
        return 0;
    // Turned only when that shows the picture larger: a picture that fits
    // unturned at its own size (ZoomUp 0) stays as it is.
    const QSize turned = picture.transposed();
    const double plain = displaySize(picture, screen, 0, rules).size.width();
    const double turnedWidth = displaySize(turned, screen, 0, rules).size.height();
    if (turnedWidth <= plain)
        return 0;
    return rules.angleDir == 0 ? 90 : 270;
}

QPoint centredOffset(QSize client, QSize display) {
    return {std::max(0, (client.width() - display.width()) / 2),
            std::max(0, (client.height() - display.height()) / 2)};
}

QPoint clampOffset(QPoint offset, QSize client, QSize display) {
    auto axis = [](int at, int room, int shown) {
        const int spare = room - shown;
        return spare >= 0 ? std::clamp(at, 0, spare) : std::clamp(at, spare, 0);
    };
    return {axis(offset.x(), client.width(), display.width()),
            axis(offset.y(), client.height(), display.height())};
}

std::string scaleText(double scale) {
    char text[64];
    if (scale >= 1 || scale <= 0)
        std::snprintf(text, sizeof text, "x%g", scale);
    else
        std::snprintf(text, sizeof text, "x1/%g", 1 / scale);
    return text;
}

PositionBar PositionBar::layout(int count, int screenWidth) {
    PositionBar bar;
    bar.count = std::max(0, count);
    const int most = std::max(1, screenWidth / kCellWidth);
    if (bar.count > 0)
        bar.width = bar.count / (bar.count / most + 1) * kCellWidth;
    return bar;
}

int PositionBar::cellOf(int index) const {
    if (count <= 0 || width <= 0)
        return -1;
    const long long pixel = static_cast<long long>(width) * std::clamp(index, 0, count - 1) / count;
    return static_cast<int>(pixel / kCellWidth);
}

int PositionBar::entryAt(int x) const {
    if (count <= 0 || width <= 0 || x < 0 || x >= width)
        return -1;
    return static_cast<int>(static_cast<long long>(x) * count / width);
}

QPoint infoLinePosition(int x, int y, QSize text, QSize screen, bool barShown) {
    const int left = x < 0 ? screen.width() + x - text.width() : x;
    int top = y;
    if (y < 0)
        top = screen.height() + y - text.height();
    else if (y == 0)
        top = barShown ? PositionBar::kCellHeight + 5 : 0;
    return {left, top};
}

} // namespace vemra::viewer
