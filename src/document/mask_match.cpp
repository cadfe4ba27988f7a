#include "document/mask_match.h"

namespace vemra {
namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t charLength(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    return i + n <= s.size() ? n : 1;
}

bool matchPart(std::string_view name, std::string_view mask) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (j < mask.size()) {
        const char m = mask[j];
        if (m == '*') {
            ++j;
            if (j == mask.size())
                return true;
            if (mask[j] == '?' || mask[j] == '*')
                continue;
            // The literal after "*" is taken at its first occurrence.
            while (i < name.size() && fold(name[i]) != fold(mask[j]))
                ++i;
            if (i == name.size())
                return false;
        } else if (m == '?') {
            if (i >= name.size())
                return false;
            i += charLength(name, i);
            ++j;
        } else {
            if (i >= name.size() || fold(name[i]) != fold(m))
                return false;
            ++i;
            ++j;
        }
    }
    return i == name.size();
}

} // namespace

bool matchesMask(std::string_view name, std::string_view mask) {
    const std::size_t nameDot = name.rfind('.');
    const std::size_t maskDot = mask.rfind('.');
    if ((nameDot == std::string_view::npos) != (maskDot == std::string_view::npos))
        return false;
    if (nameDot == std::string_view::npos)
        return matchPart(name, mask);
    return matchPart(name.substr(0, nameDot), mask.substr(0, maskDot)) &&
           matchPart(name.substr(nameDot + 1), mask.substr(maskDot + 1));
}

bool matchesMaskList(std::string_view name, std::string_view masks) {
    std::size_t start = 0;
    while (start <= masks.size()) {
        std::size_t end = masks.find(';', start);
        if (end == std::string_view::npos)
            end = masks.size();
        const std::string_view mask = masks.substr(start, end - start);
        if (!mask.empty() && matchesMask(name, mask))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace vemra
