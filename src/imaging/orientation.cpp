#include "imaging/orientation.h"

#include "imaging/transforms.h"

namespace vemra {

PictureBuffer orientPicture(PictureBuffer picture, int orientation) {
    if (!picture || orientation <= 1 || orientation > 8)
        return picture;
    // Each orientation as at most one exact quarter turn and one mirroring.
    static constexpr struct {
        int quarterTurns; // clockwise
        bool mirror;      // left to right, after the turn
        bool flip;        // upside down, after the turn
    } kSteps[9] = {{0, false, false}, {0, false, false}, {0, true, false},
                   {2, false, false}, {0, false, true},  {1, true, false},
                   {1, false, false}, {1, false, true},  {3, false, false}};
    const auto& step = kSteps[orientation];
    if (step.quarterTurns != 0) {
        PictureBuffer turned = rotatePicture(picture, 90.0 * step.quarterTurns);
        if (!turned)
            return picture;
        picture = std::move(turned);
    }
    if (step.mirror)
        mirrorPicture(picture);
    if (step.flip)
        flipPicture(picture);
    return picture;
}

} // namespace vemra
