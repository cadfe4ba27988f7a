#include "platform/wildcard.h"

namespace vemra {
namespace {

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the UTF-8 sequence starting at `i` (1 for stray bytes).
std::size_t charLength(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    return i + n <= s.size() ? n : 1;
}

// Plain glob over the whole name, with one backtracking point: the last "*"
// seen. Linear in practice and never worse than name length × mask length.
bool globMatches(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            n += charLength(name, n);
            ++m;
        } else if (m < mask.size() && fold(mask[m]) == fold(name[n])) {
            ++n;
            ++m;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            starName += charLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool matchesWildcard(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*")
        return true;
    if (globMatches(name, mask))
        return true;
    // Windows lets an empty extension stand for ".*" and for a final ".":
    // such a mask also takes the names that have no "." at all.
    if (name.find('.') != std::string_view::npos)
        return false;
    if (mask.ends_with(".*"))
        return globMatches(name, mask.substr(0, mask.size() - 2));
    if (mask.ends_with('.') && !mask.ends_with(".."))
        return globMatches(name, mask.substr(0, mask.size() - 1));
    return false;
}

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool matchesWildcardList(std::string_view name, std::string_view masks) {
    while (!masks.empty()) {
        const std::size_t cut = masks.find(';');
        const std::string_view mask = trimBlanks(masks.substr(0, cut));
        masks = cut == std::string_view::npos ? std::string_view() : masks.substr(cut + 1);
        if (!mask.empty() && matchesWildcard(name, mask))
            return true;
    }
    return false;
}

} // namespace vemra
