#pragma once

#include "settings/colour_value.h"

#include <QColor>

namespace vemra {

// A stored colour as Qt draws with it, and back.
inline QColor toQColor(ColourValue value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                  static_cast<int>(value >> 16 & 0xFF));
}

inline ColourValue fromQColor(const QColor& colour) {
    return colourValue(colour.red(), colour.green(), colour.blue());
}

} // namespace vemra
