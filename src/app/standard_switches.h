#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vemra {

// "--version" and "--help", which a desktop program answers on the terminal
// before it opens any window (so also without a display). The text to print
// when the first argument is one of them; nullopt otherwise, and the program
// starts as usual. Only the first argument counts: a folder named so further
// on is still a folder.
std::optional<std::string> standardSwitchAnswer(const std::vector<std::string>& arguments);

} // namespace vemra
