#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// The program's command line as start-up reads it: a table of switches and
// the folder text.
//
// A switch is "-name", or "/name" when no file or folder of that path
// exists (on this system "/" also begins every absolute path, and a folder
// given on the command line must never turn into a switch). A switch enters
// the table as name -> "TRUE" and becomes the pending switch; the next plain
// argument replaces its value and ends it. Names are compared byte for byte.
//
// The folder text is the first plain argument. The shell has already removed
// the quoting, so an argument holding "," or a blank is put back in double
// quotes: reading field 0 of the text then gives the argument whole, while a
// text that still holds its own quotes (from a launcher) reads as before.
class CommandLineInfo {
public:
    CommandLineInfo() = default;
    // `arguments` without the program name.
    explicit CommandLineInfo(const std::vector<std::string>& arguments);

    // The value of switch `name` ("TRUE", or the parameter that followed it).
    std::optional<std::string> switchValue(std::string_view name) const;
    bool hasSwitch(std::string_view name) const { return switchValue(name).has_value(); }
    // Whether the splash window is wanted: no "nologo" switch.
    bool wantsSplash() const { return !hasSwitch("nologo"); }

    // The folder text before field reading; empty when none was given.
    const std::string& rawText() const { return m_rawText; }

private:
    std::map<std::string, std::string, std::less<>> m_switches;
    std::string m_rawText;
};

} // namespace vemra
