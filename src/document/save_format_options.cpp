#include "document/save_format_options.h"

#include "platform/field_list.h"
#include "settings/option_table.h"

#include <algorithm>
#include <cmath>

namespace vemra {
namespace {

using O = SaveFormatOptions;

const OptionKey<O> kKeys[] = {
    {"FileSave", "Format", &O::format},
    {"FileSave", "SizeMode", &O::sizeMode},
    {"FileSave", "Width", &O::width},
    {"FileSave", "Height", &O::height},
    {"FileSave", "Aspect", &O::aspect},
    {"FileSave", "Scale", &O::scale},
    {"FileSave", "ScaleMode", &O::scaleMode},
    {"FileSave", "Unsharp", &O::unsharp},
    {"FileSave", "RotateAngle", &O::rotateAngle},
    {"FileSave", "JpegQuality", &O::jpegQuality},
    {"FileSave", "JpegProgressive", &O::jpegProgressive},
    {"FileSave", "BmpQuant", &O::bmpQuant},
    {"FileSave", "PngQuant", &O::pngQuant},
};

// Larger pictures than this cannot be made anyway.
constexpr int kMaxSide = 65535;
constexpr double kMaxFactor = 100;

} // namespace

SaveFormatOptions SaveFormatOptions::load(SettingsStore& store) {
    SaveFormatOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o.normalised();
}

void SaveFormatOptions::save(SettingsStore& store) const {
    saveOptionKeys<O>(*this, kKeys, store);
}

double SaveFormatOptions::factor() const {
    const double value = toReal(scale);
    return std::isfinite(value) && value > 0 ? std::min(value, kMaxFactor) : 0;
}

const char* SaveFormatOptions::extension() const {
    switch (format) {
    case Jpeg:
        return ".jpg";
    case Png:
        return ".png";
    default:
        return ".bmp";
    }
}

bool SaveFormatOptions::sizeValid() const {
    switch (sizeMode) {
    case FitSize:
        return width >= 1 && height >= 1;
    case Factor:
        return factor() > 0;
    default:
        return true;
    }
}

SaveFormatOptions SaveFormatOptions::normalised() const {
    SaveFormatOptions o = *this;
    if (o.format < Bmp || o.format > Png)
        o.format = Bmp;
    if (o.sizeMode < KeepSize || o.sizeMode > Factor)
        o.sizeMode = KeepSize;
    o.width = std::clamp(o.width, 0, kMaxSide);
    o.height = std::clamp(o.height, 0, kMaxSide);
    if (o.scaleMode != 0 && o.scaleMode != 1 && o.scaleMode != 2 && o.scaleMode != 3 &&
        o.scaleMode != 10)
        o.scaleMode = 0;
    o.rotateAngle = std::clamp(o.rotateAngle, 0, 360);
    o.jpegQuality = std::clamp(o.jpegQuality, 0, 100);
    o.bmpQuant = o.bmpQuant == 8 ? 8 : 0;
    o.pngQuant = o.pngQuant == 8 ? 8 : 0;
    return o;
}

} // namespace vemra
