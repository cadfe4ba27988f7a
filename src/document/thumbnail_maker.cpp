#include "document/thumbnail_maker.h"

#include "document/display_colours.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "imaging/orientation.h"
#include "imaging/scaling.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vemra {

PictureSize fittedSize(int width, int height, int boxWidth, int boxHeight, bool limitCheck) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return {};
    double factor =
        std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
    if (limitCheck)
        factor = std::min(factor, 1.0);
    // The side that decides the factor must come out exactly at the box, not
    // one pixel short through rounding of the quotient.
    const auto side = [factor](int length, int box) {
        const int scaled = static_cast<int>(length * factor + 1e-9);
        return std::clamp(scaled, 1, box);
    };
    return {side(width, boxWidth), side(height, boxHeight)};
}

PictureSize rotatedSize(int width, int height, double angle) {
    double turn = std::fmod(angle, 360.0);
    if (turn < 0)
        turn += 360.0;
    if (turn == 0 || turn == 180)
        return {width, height};
    if (turn == 90 || turn == 270)
        return {height, width};
    const double radians = turn * kDegreesToRadians;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double xs[] = {0, width * c, -height * s, width * c - height * s};
    const double ys[] = {0, width * s, height * c, width * s + height * c};
    const auto [minX, maxX] = std::minmax_element(std::begin(xs), std::end(xs));
    const auto [minY, maxY] = std::minmax_element(std::begin(ys), std::end(ys));
    return {static_cast<int>(std::trunc(*maxX + 0.9)) - static_cast<int>(std::trunc(*minX - 0.9)),
            static_cast<int>(std::trunc(*maxY + 0.9)) - static_cast<int>(std::trunc(*minY - 0.9))};
}

ThumbnailMaker::ThumbnailMaker(PictureLoader& loader, UnsharpSettings sharpening)
    : m_loader(loader), m_sharpening(std::move(sharpening)) {}

bool ThumbnailMaker::make(PictureSource& entry, int boxWidth, int boxHeight) {
    entry.thumbnail = {};
    entry.cellPicture = {};
    entry.cached = false;
    if (boxWidth <= 0 || boxHeight <= 0)
        return false;
    PictureBuffer decoded;
    if (m_loader.loadForThumbnail(entry, boxWidth, boxHeight, decoded) != 0 || !decoded.isValid())
        return false;
    // One read of the metadata gives the facts and, when the thumbnail is
    // converted to the display's colours, the picture's own profile.
    std::vector<std::byte> profile;
    if (entry.drawing.colour)
        learnPhotoFacts(entry, &m_loader, profile);
    else
        learnPhotoFacts(entry, &m_loader);
    return fromDecoded(entry, std::move(decoded), boxWidth, boxHeight, profile);
}

PictureBuffer thumbnailFromDecoded(PictureBuffer decoded, const PictureSource& entry, int boxWidth,
                                   int boxHeight, const UnsharpSettings& sharpening,
                                   std::span<const std::byte> embeddedProfile) {
    // A photograph is turned upright after scaling, where the picture is
    // smallest; only with a rotation of its own (which the scaler applies)
    // must it be upright before.
    const int orientation = shownOrientation(entry);
    const bool orientLast = entry.rotation == 0;
    if (!orientLast)
        decoded = orientedForEntry(std::move(decoded), entry);
    const double angle = entry.rotation;
    const PictureSize uprightDecoded =
        orientLast ? uprightSize(decoded.width(), decoded.height(), orientation)
                   : PictureSize{decoded.width(), decoded.height()};
    const PictureSize turnedDecoded =
        rotatedSize(uprightDecoded.width, uprightDecoded.height, angle);
    PictureSize turnedFull = turnedDecoded;
    if (const PictureSize upright = uprightPictureSize(entry);
        upright.width > 0 && upright.height > 0)
        turnedFull = rotatedSize(upright.width, upright.height, angle);
    const PictureSize target = entry.fitMode == 0
                                   ? PictureSize{boxWidth, boxHeight}
                                   : fittedSize(turnedFull.width, turnedFull.height, boxWidth,
                                                boxHeight, entry.drawing.limitCheck);
    const ScaleMode mode = scaleModeFromInt(entry.drawing.scaleMode).value_or(ScaleMode::Automatic);
    const PictureSize scaled = orientLast ? uprightSize(target.width, target.height, orientation)
                                          : target; // sideways until turned
    PictureBuffer thumbnail = scalePicture(decoded, scaled.width, scaled.height, angle, mode);
    if (!thumbnail)
        return {};
    decoded = {}; // the large picture goes before sharpening asks for memory
    if (orientLast)
        thumbnail = orientPicture(std::move(thumbnail), orientation);
    // Converted after scaling: a thumbnail has a few thousand pixels where
    // the decoded picture has hundreds of thousands, and on a screen the
    // difference of averaging before or after the conversion does not show.
    convertForDisplay(thumbnail, entry, embeddedProfile);

    if (entry.drawing.unsharp) {
        UnsharpSettings sharpen = sharpening;
        sharpen.enabled = true;
        if (PictureBuffer sharpened =
                sharpenThumbnail(thumbnail, turnedDecoded, turnedFull, sharpen))
            thumbnail = std::move(sharpened);
    }
    return thumbnail;
}

bool ThumbnailMaker::fromDecoded(PictureSource& entry, PictureBuffer decoded, int boxWidth,
                                 int boxHeight, std::span<const std::byte> embeddedProfile) {
    PictureBuffer thumbnail = thumbnailFromDecoded(std::move(decoded), entry, boxWidth, boxHeight,
                                                   m_sharpening, embeddedProfile);
    if (!thumbnail)
        return false;
    entry.thumbnail = std::move(thumbnail);
    entry.scaleModeUsed = entry.drawing.scaleMode;
    entry.unsharpUsed = entry.drawing.unsharp;
    entry.autoRotateUsed = entry.drawing.autoRotate;
    entry.colourMarkUsed = colourMarkOf(entry.drawing.colour);
    return true;
}

} // namespace vemra
