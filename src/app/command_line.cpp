#include "app/command_line.h"

#include "platform/file_status.h"

namespace vemra {
namespace {

// The switch name of `argument`, or nullopt for a plain argument.
std::optional<std::string> switchName(const std::string& argument) {
    if (argument.size() < 2) {
        return std::nullopt;
    }
    if (argument[0] == '-') {
        return argument.substr(1);
    }
    if (argument[0] == '/' && argument.find('/', 1) == std::string::npos &&
        !fileStatus(argument).has_value()) {
        return argument.substr(1);
    }
    return std::nullopt;
}

std::string quotedWhenNeeded(const std::string& argument) {
    if (argument.find('"') != std::string::npos ||
        argument.find_first_of(", \t") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    quoted += argument;
    quoted += '"';
    return quoted;
}

} // namespace

CommandLineInfo::CommandLineInfo(const std::vector<std::string>& arguments) {
    std::string pending;
    bool hasPending = false;
    for (const std::string& argument : arguments) {
        if (auto name = switchName(argument)) {
            m_switches[*name] = "TRUE";
            pending = std::move(*name);
            hasPending = true;
            continue;
        }
        if (hasPending) {
            m_switches[pending] = argument;
            hasPending = false;
        }
        if (m_rawText.empty() && !argument.empty()) {
            m_rawText = quotedWhenNeeded(argument);
        }
    }
}

std::optional<std::string> CommandLineInfo::switchValue(std::string_view name) const {
    const auto found = m_switches.find(name);
    if (found == m_switches.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace vemra
