#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

#include <cstddef>
#include <memory>
#include <span>

namespace vemra {

class PictureLoader;
class PictureSource;

// The size a picture of `width` x `height` takes in a box of `boxWidth` x
// `boxHeight` with its proportions kept: as large as fits, and with
// `limitCheck` never larger than the picture itself. Each side is at least 1;
// an empty picture or box gives 0 x 0.
PictureSize fittedSize(int width, int height, int boxWidth, int boxHeight, bool limitCheck);

// The bounding size of a `width` x `height` picture turned by `angle`
// degrees, as the scaler lays it out (quarter turns exactly).
PictureSize rotatedSize(int width, int height, double angle);

// The one place where a decoded picture becomes a thumbnail: scaled with the
// entry's ScaleMode to its fitted size in the box (the whole box with fit
// mode 0), turned by the entry's rotation, converted to the display's
// colours from `embeddedProfile` (the picture's own profile; empty for an
// untagged one) when the entry's colours are managed, and sharpened with
// `sharpening` when the entry's Unsharp is on. Null when it cannot be
// scaled. Any thread.
PictureBuffer thumbnailFromDecoded(PictureBuffer decoded, const PictureSource& entry, int boxWidth,
                                   int boxHeight, const UnsharpSettings& sharpening,
                                   std::span<const std::byte> embeddedProfile);

// Makes thumbnails: decodes the entry's picture reduced for the box (JPEG
// at 1/2 to 1/8 by DCT scaling), scales it with the entry's ScaleMode to the
// fitted size (LimitCheck keeps small pictures at their own size; fit mode 0
// stretches to the whole box), turns it by the entry's rotation, and
// sharpens it when the entry's Unsharp is on. One maker serves a whole
// folder; make() may run on several threads at once, each for its own
// entry, when the loader allows it.
class ThumbnailMaker {
public:
    // `loader` must outlive the maker. `sharpening` gives kernel and level;
    // whether to sharpen is each entry's own Unsharp option.
    ThumbnailMaker(PictureLoader& loader, UnsharpSettings sharpening);

    // Makes the thumbnail of `entry` for a box of `boxWidth` x `boxHeight`
    // and puts it in the entry with the ScaleMode and Unsharp values it was
    // made with; the entry's old thumbnail and cell picture are dropped and
    // its cached flag cleared. False, with no thumbnail, when the picture
    // cannot be decoded or scaled.
    bool make(PictureSource& entry, int boxWidth, int boxHeight);

    const UnsharpSettings& sharpening() const { return m_sharpening; }

private:
    // Scales, turns and sharpens the decoded picture into the entry.
    bool fromDecoded(PictureSource& entry, PictureBuffer decoded, int boxWidth, int boxHeight,
                     std::span<const std::byte> embeddedProfile);

    PictureLoader& m_loader;
    UnsharpSettings m_sharpening;
};

} // namespace vemra
