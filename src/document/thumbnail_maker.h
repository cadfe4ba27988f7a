#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

#include <memory>

namespace vemra {

class PictureLoader;
class PictureSource;
class ThumbnailDecode;

// The size a picture of `width` x `height` takes in a box of `boxWidth` x
// `boxHeight` with its proportions kept: as large as fits, and with
// `limitCheck` never larger than the picture itself. Each side is at least 1;
// an empty picture or box gives 0 x 0.
PictureSize fittedSize(int width, int height, int boxWidth, int boxHeight, bool limitCheck);

// The bounding size of a `width` x `height` picture turned by `angle`
// degrees, as the scaler lays it out (quarter turns exactly).
PictureSize rotatedSize(int width, int height, double angle);

// Makes thumbnails: decodes the entry's picture reduced for the box (JPEG
// at 1/2 to 1/8 by DCT scaling), scales it with the entry's ScaleMode to the
// fitted size (LimitCheck keeps small pictures at their own size; fit mode 0
// stretches to the whole box), turns it by the entry's rotation, and
// sharpens it when the entry's Unsharp is on. One maker serves a whole
// folder; it is for the thread that owns the document.
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

    // make() in steps: the decode when the loader can run it a band at a
    // time (null otherwise, and for an empty box), then finishSteps() once
    // it is done, with the same result make() gives: a failed decode is
    // retried by make() with the loader's other decoders.
    std::unique_ptr<ThumbnailDecode> beginSteps(PictureSource& entry, int boxWidth, int boxHeight);
    bool finishSteps(PictureSource& entry, ThumbnailDecode& decode, int boxWidth, int boxHeight);

    const UnsharpSettings& sharpening() const { return m_sharpening; }

private:
    // Scales, turns and sharpens the decoded picture into the entry.
    bool fromDecoded(PictureSource& entry, PictureBuffer decoded, int boxWidth, int boxHeight);

    PictureLoader& m_loader;
    UnsharpSettings m_sharpening;
};

} // namespace vemra
