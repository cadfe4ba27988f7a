#include "imaging/unsharp.h"

#include <algorithm>
#include <charconv>

namespace vemra {
namespace {

// Strength by tenths of the scale factor, when the decoded picture is the
// full picture: small thumbnails lose the most detail and get the most.
constexpr double kSameSize[11] = {0.5, 0.3, 0.2, 0.15, 0.1, 0.1, 0, 0, 0, 0, 0};

// Strength when a decoder delivered a reduced picture: row by tenths of the
// factor relative to the decoded picture, column by tenths of the factor
// relative to the full picture.
constexpr double kReduced[11][11] = {
    {0, 0.1, 0.2, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0, 0.1, 0.2, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0, 0.1, 0.2, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0, 0.1, 0.2, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0.4, 0.1, 0.2, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0.4, 0.1, 0, 0.2, 0.3, 0.3, 0.3, 0.4, 0.4, 0.4, 0.5},
    {0, 0.2, 0.1, 0.1, 0.2, 0.2, 0.2, 0.2, 0.2, 0.2, 0.3},
    {0, 0.4, 0.4, 0.1, 0.1, 0.2, 0.2, 0.2, 0.2, 0.2, 0.3},
    {0, 0.4, 0.4, 0.1, 0.1, 0.1, 0.2, 0.2, 0.2, 0.2, 0.3},
    {0, 0.4, 0.6, 0.4, 0.1, 0.1, 0.1, 0.2, 0.2, 0.2, 0.3},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

double factor(PictureSize thumbnail, PictureSize picture) {
    return std::min({static_cast<double>(thumbnail.width) / picture.width,
                     static_cast<double>(thumbnail.height) / picture.height, 1.0});
}

bool isEmpty(PictureSize s) {
    return s.width <= 0 || s.height <= 0;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The leading number of a field, 0 when there is none (as the C library's
// conversions read a stored value). Independent of the process locale.
template <typename T> T leadingNumber(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : T{};
}

} // namespace

void UnsharpSettings::apply(int passCount, std::string_view kernelText,
                            std::string_view levelText) {
    if (passCount < 1 || passCount > 5) {
        return;
    }
    side = passCount;
    const auto count = static_cast<std::size_t>(passCount * passCount);
    kernel.assign(count, 0);
    std::size_t i = 0;
    while (i < count) {
        const std::size_t comma = kernelText.find(',');
        kernel[i++] = leadingNumber<int>(kernelText.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        kernelText.remove_prefix(comma + 1);
    }
    const double l = leadingNumber<double>(levelText);
    level = l >= 0 && l <= 1 ? l : 0;
}

SharpeningChoice chooseThumbnailSharpening(PictureSize thumbnail, PictureSize decoded,
                                           PictureSize full, double level) {
    if (isEmpty(thumbnail) || isEmpty(decoded)) {
        return {};
    }
    if (isEmpty(full)) {
        full = decoded;
    }
    const double f = factor(thumbnail, decoded);
    const double h = factor(thumbnail, full);
    double strength = 0;
    if (f == h) {
        const int i = static_cast<int>(h * 10);
        strength = i <= 10 ? kSameSize[i] - (h - i * 0.1) : 0;
    } else {
        const int r = static_cast<int>(f * 10);
        const int c = static_cast<int>(h * 10);
        strength = r <= 10 && c <= 10 ? kReduced[r][c] - (h - c * 0.1) : 0;
    }
    strength += level - 0.5;
    if (strength >= 0.3 && strength <= 0.35) {
        return {SharpeningKind::Cross, strength};
    }
    if (strength <= 0) {
        return {SharpeningKind::None, strength};
    }
    return {SharpeningKind::Kernel, strength};
}

PictureBuffer sharpenThumbnail(const PictureBuffer& thumbnail, PictureSize decoded,
                               PictureSize full, const UnsharpSettings& settings) {
    if (!settings.enabled || !thumbnail) {
        return {};
    }
    const SharpeningChoice choice = chooseThumbnailSharpening(
        {thumbnail.width(), thumbnail.height()}, decoded, full, settings.level);
    switch (choice.kind) {
    case SharpeningKind::Cross:
        return unsharpCross(thumbnail, choice.strength);
    case SharpeningKind::Kernel:
        return unsharp(thumbnail, choice.strength, settings.side, settings.kernel);
    case SharpeningKind::None:
        break;
    }
    return {};
}

} // namespace vemra
