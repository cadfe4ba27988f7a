#include "app/standard_switches.h"

namespace vemra {

std::optional<std::string> standardSwitchAnswer(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return std::nullopt;
    }
    const std::string& first = arguments.front();
    if (first == "--version") {
        return std::string("vemra ") + VEMRA_VERSION + "\n";
    }
    if (first == "--help") {
        return "Usage: vemra [FOLDER | ARCHIVE | PICTURE] [-nologo]\n"
               "       vemra --help | --version\n\n"
               "Vemra, a picture browser: opens FOLDER (or the pictures in ARCHIVE, or\n"
               "PICTURE) in the thumbnail grid; without one, the last or the home folder.\n"
               "  -nologo    start without the splash picture\n\n"
               "Settings: vemra.ini beside the program when it exists, else\n"
               "~/.config/ZRV/Vemra.ini. See vemra(1) and vemra-cli(1).\n";
    }
    return std::nullopt;
}

} // namespace vemra
