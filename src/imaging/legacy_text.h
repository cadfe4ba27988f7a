#pragma once

#include <string>
#include <string_view>

// Text found inside pictures (comments, plain-text pictures) may come from
// Windows programs that wrote Shift-JIS. These helpers turn it into UTF-8.
namespace vemra {

bool isValidUtf8(std::string_view bytes);

// `bytes` itself when it is valid UTF-8, else its decoding from CP932, with
// undecodable bytes replaced by U+FFFD.
std::string legacyTextToUtf8(std::string_view bytes);

} // namespace vemra
