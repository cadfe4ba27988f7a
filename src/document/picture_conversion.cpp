#include "document/picture_conversion.h"

#include "document/thumbnail_maker.h"
#include "document/written_colours.h"
#include "imaging/colour_reduction.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_save.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"

#include <algorithm>
#include <cmath>

namespace vemra {
namespace {

constexpr int kMaxSide = 65535;

int clampSide(double length) {
    if (!std::isfinite(length))
        return 1;
    return static_cast<int>(std::clamp(length, 1.0, static_cast<double>(kMaxSide)));
}

// The decoded size a reduction gives: libjpeg rounds up.
int reducedSide(int length, int reduction) {
    return (length + reduction - 1) / reduction;
}

} // namespace

ConversionPlan planConversion(PictureSize full, const SaveFormatOptions& options) {
    ConversionPlan plan;
    plan.angle = options.rotateAngle % 360;
    if (full.width <= 0 || full.height <= 0)
        return plan;
    const PictureSize turned = rotatedSize(full.width, full.height, plan.angle);
    switch (options.sizeMode) {
    case SaveFormatOptions::FitSize:
        plan.target =
            options.aspect
                ? fittedSize(turned.width, turned.height, options.width, options.height, false)
                : PictureSize{clampSide(options.width), clampSide(options.height)};
        break;
    case SaveFormatOptions::Factor: {
        const double f = options.factor();
        plan.target = rotatedSize(clampSide(std::trunc(full.width * f)),
                                  clampSide(std::trunc(full.height * f)), plan.angle);
        break;
    }
    default:
        plan.target = turned;
        break;
    }
    if (plan.target.width <= 0 || plan.target.height <= 0)
        return plan;
    // The size the picture needs before it is turned into the target.
    PictureSize needed;
    if (isRightAngle(plan.angle)) {
        const bool across = quarterTurns(plan.angle) % 2 == 1;
        needed = across ? PictureSize{plan.target.height, plan.target.width} : plan.target;
    } else {
        const double ratio =
            std::max(static_cast<double>(plan.target.width) / std::max(1, turned.width),
                     static_cast<double>(plan.target.height) / std::max(1, turned.height));
        needed = {clampSide(std::ceil(full.width * ratio)),
                  clampSide(std::ceil(full.height * ratio))};
    }
    for (const int reduction : {8, 4, 2}) {
        if (reducedSide(full.width, reduction) >= needed.width &&
            reducedSide(full.height, reduction) >= needed.height) {
            plan.reduction = reduction;
            break;
        }
    }
    return plan;
}

PictureBuffer convertPicture(PictureSize full, const ReducedDecode& decode,
                             const ConversionSettings& settings, int* code) {
    const SaveFormatOptions& options = settings.options;
    ConversionPlan plan = planConversion(full, options);
    PictureBuffer decoded;
    const int result = decode(plan.target.width > 0 ? plan.reduction : 1, decoded);
    if (code != nullptr)
        *code = result;
    if (result != 0 || !decoded)
        return {};
    if (full.width <= 0 || full.height <= 0 || plan.target.width <= 0) {
        // Only now is the size known; the picture was decoded whole.
        full = {decoded.width(), decoded.height()};
        plan = planConversion(full, options);
        plan.reduction = 1;
    }
    if (plan.target.width <= 0 || plan.target.height <= 0)
        return {};

    const PictureSize turnedDecoded = rotatedSize(decoded.width(), decoded.height(), plan.angle);
    const PictureSize turnedFull = rotatedSize(full.width, full.height, plan.angle);
    PictureBuffer picture;
    if (plan.angle == 0 && decoded.width() == plan.target.width &&
        decoded.height() == plan.target.height) {
        picture = std::move(decoded);
    } else {
        const ScaleMode mode = scaleModeFromInt(options.scaleMode).value_or(ScaleMode::Normal);
        picture = scalePicture(decoded, plan.target.width, plan.target.height, plan.angle, mode);
        decoded = {}; // the large picture goes before sharpening asks for memory
        if (!picture)
            return {};
    }
    if (options.unsharp) {
        UnsharpSettings sharpening = settings.sharpening;
        sharpening.enabled = true;
        if (PictureBuffer sharpened =
                sharpenThumbnail(picture, turnedDecoded, turnedFull, sharpening))
            picture = std::move(sharpened);
    }
    return picture;
}

bool writeConverted(const std::string& path, const PictureBuffer& picture,
                    const SaveFormatOptions& options, PictureColours colours,
                    ProgressCallback progress, intptr_t userData) {
    if (!picture)
        return false;
    const bool carriesProfile =
        options.format == SaveFormatOptions::Jpeg || options.format == SaveFormatOptions::Png;
    std::span<const std::byte> profile;
    // A copy only when the colours change: most pictures are untagged, and
    // a tagged one saved as JPEG or PNG keeps its values.
    PictureBuffer converted;
    if (fileKeepsProfile(colours.embedded, carriesProfile)) {
        profile = colours.embedded;
    } else if (colours.managed && !colours.embedded.empty()) {
        converted = picture.duplicate();
        if (!converted)
            return false;
        convertForWriting(converted, colours.embedded, true);
    }
    const PictureBuffer& source = converted ? converted : picture;
    if (options.format == SaveFormatOptions::Jpeg) {
        JpegOptions jpeg;
        jpeg.quality = options.jpegQuality;
        jpeg.progressive = options.jpegProgressive;
        jpeg.iccProfile = profile;
        return writeJpegFile(path, source, jpeg);
    }
    const int quant =
        options.format == SaveFormatOptions::Png ? options.pngQuant : options.bmpQuant;
    PictureBuffer reduced;
    if (quant == 8 && source.bitCount() != 8) {
        reduced = reduceColours(source, {}, progress, userData);
        if (!reduced)
            return false;
    }
    const PictureBuffer& out = reduced ? reduced : source;
    if (options.format != SaveFormatOptions::Png)
        return saveBmp(path, out, 0);
    if (savePng(path, out, 0, profile))
        return true;
    // libpng checks a profile more strictly than lcms2 and refuses the whole
    // file over one it dislikes: then the colours go in sRGB instead.
    if (profile.empty())
        return false;
    PictureBuffer plain = reduced ? reduced.duplicate() : source.duplicate();
    if (!plain)
        return false;
    convertForWriting(plain, profile, true);
    return savePng(path, plain, 0);
}

} // namespace vemra
