#include "document/size_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace vemra {
namespace {

// Appends the decimal digits `whole` with a comma before every group of three.
void appendGrouped(std::string& text, std::string_view whole) {
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            text += ',';
        text += whole[i];
    }
}

} // namespace

std::string sizeText(std::uint64_t bytes, int decimals, int largestUnit) {
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    largestUnit = std::clamp(largestUnit, 0, 4);
    decimals = std::clamp(decimals, 0, 6);
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < largestUnit) {
        value /= 1024.0;
        ++unit;
    }
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    const std::string plain = digits;
    const std::size_t point = plain.find('.');
    std::string text;
    appendGrouped(text, std::string_view(plain).substr(0, point));
    if (point != std::string::npos)
        text += plain.substr(point);
    text += kUnits[unit];
    return text;
}

std::string groupedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    appendGrouped(text, digits);
    return text;
}

} // namespace vemra
