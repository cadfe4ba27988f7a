#pragma once

#include "document/save_format_options.h"
#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

#include "vemra/spi.h"

#include <cstddef>
#include <functional>
#include <span>
#include <string>

// Converting one picture for "画像形式を指定して保存" and `vemra-cli
// convert`: decode (as reduced as the output size allows), scale and turn,
// sharpen, encode. Each step takes values and gives a value, so pictures
// may be converted on several threads at once as long as the decode given
// may be called so.
namespace vemra {

// What a conversion does besides the stored options: the kernel and level
// of the unsharp mask (the document's thumbnail sharpening settings).
struct ConversionSettings {
    SaveFormatOptions options;
    UnsharpSettings sharpening;
    // KPDoc ColorManagement: tagged pictures that go into a file that
    // cannot carry their profile are converted to sRGB.
    bool manageColours = true;
};

// The output size for a picture of `full` size, and the reduction (1, 2, 4
// or 8) it may be decoded at: the largest that still leaves at least the
// size needed before the final scaling, so no detail is invented.
struct ConversionPlan {
    PictureSize target;
    int reduction = 1;
    double angle = 0; // clockwise, 0 <= angle < 360
};
ConversionPlan planConversion(PictureSize full, const SaveFormatOptions& options);

// Decodes the picture reduced by 1, 2, 4 or 8 (a decoder that cannot
// reduce delivers the full size); a decoder result code, 0 on success.
using ReducedDecode = std::function<int(int reduction, PictureBuffer& out)>;

// Decodes, scales, turns and sharpens a picture of `full` size (0 x 0 when
// not known: it is then decoded at full size first). Null when it could not
// be decoded (`code` receives the decoder's result) or scaled.
PictureBuffer convertPicture(PictureSize full, const ReducedDecode& decode,
                             const ConversionSettings& settings, int* code = nullptr);

// The colours of a picture to write: the ICC profile embedded in its file
// (empty: untagged) and whether colours are managed.
struct PictureColours {
    std::span<const std::byte> embedded;
    bool managed = false;
};

// Writes `picture` to `path` in the options' format: JPEG with its quality
// and progressive flag; BMP and PNG reduced to 256 colours first when their
// reduction is 8 (with `progress`, which may stop it). JPEG and PNG files
// carry the picture's own RGB profile; otherwise a tagged picture is
// converted to sRGB when colours are managed (see written_colours.h). The
// file appears whole or not at all, and an existing one is replaced only
// then.
bool writeConverted(const std::string& path, const PictureBuffer& picture,
                    const SaveFormatOptions& options, PictureColours colours = {},
                    ProgressCallback progress = nullptr, intptr_t userData = 0);

} // namespace vemra
