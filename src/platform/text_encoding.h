#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// Text inside the program is UTF-8. Text read from files that may have been
// written by the Windows program (settings, note files, cache lists, folder
// information, catalog and print definitions, text pictures) is either UTF-8
// or Shift-JIS in its Windows form (code page 932); these helpers tell the two
// apart and convert. They are safe on any bytes and never throw on bad input.

// True when `bytes` is well-formed UTF-8: no stray continuation bytes, no
// truncated, overlong or surrogate sequences, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// The one rule for outside text: valid UTF-8 is returned unchanged, anything
// else is decoded from CP932. Bytes that are not CP932 either become U+FFFD.
std::string toUtf8(std::string_view bytes);

// Decodes CP932 unconditionally (undecodable bytes become U+FFFD).
std::string decodeCp932(std::string_view bytes);

// Encodes UTF-8 text as CP932, for peers that only understand it. nullopt
// when `utf8` is not valid UTF-8 or holds a character CP932 cannot express.
std::optional<std::string> encodeCp932(std::string_view utf8);

// The longest prefix of `utf8` of at most `maxBytes` bytes that does not end
// inside a multi-byte character.
std::string_view utf8Prefix(std::string_view utf8, std::size_t maxBytes);

// The lines of a text file written by hand (catalog and print definitions):
// its text by toUtf8 without a leading byte-order mark, split at LF with a
// CR before it removed. The views point into `text`, which the caller keeps.
std::string definitionText(std::string_view bytes);
std::vector<std::string_view> textLines(std::string_view text);

} // namespace vemra
