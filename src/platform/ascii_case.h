#pragma once

#include <algorithm>
#include <string_view>

namespace vemra {

// Letters A-Z as a-z and every other byte as itself, so UTF-8 names compare
// byte for byte: how file-name masks, extension lists and names on
// case-insensitive media are matched.
constexpr char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

} // namespace vemra
