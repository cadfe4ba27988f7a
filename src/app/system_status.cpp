#include "app/system_status.h"

#include "platform/field_list.h"

#include <QtGlobal>

#include <sys/utsname.h>

#include <charconv>
#include <fstream>
#include <gnu/libc-version.h>
#include <iterator>
#include <limits>

namespace vemra {
namespace {

// "Name:   1234 kB" -> 1234 * 1024; nullopt for anything else.
bool readMemInfoLine(std::string_view line, std::string_view& name, std::uint64_t& bytes) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    name = line.substr(0, colon);
    std::string_view rest = line.substr(colon + 1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
        rest.remove_prefix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end == rest.data()) {
        return false;
    }
    const std::string_view unit(end, static_cast<std::size_t>(rest.data() + rest.size() - end));
    if (unit.find("kB") != std::string_view::npos) {
        if (value > std::numeric_limits<std::uint64_t>::max() / 1024) {
            return false;
        }
        value *= 1024;
    }
    bytes = value;
    return true;
}

} // namespace

MemoryStatus parseMemInfo(std::string_view text) {
    std::uint64_t memTotal = 0, memFree = 0, memAvailable = 0, swapTotal = 0, swapFree = 0;
    bool hasAvailable = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view name;
        std::uint64_t bytes = 0;
        if (!readMemInfoLine(line, name, bytes)) {
            continue;
        }
        if (name == "MemTotal") {
            memTotal = bytes;
        } else if (name == "MemFree") {
            memFree = bytes;
        } else if (name == "MemAvailable") {
            memAvailable = bytes;
            hasAvailable = true;
        } else if (name == "SwapTotal") {
            swapTotal = bytes;
        } else if (name == "SwapFree") {
            swapFree = bytes;
        }
    }
    MemoryStatus status;
    status.totalPhysical = memTotal;
    status.freePhysical = std::min(hasAvailable ? memAvailable : memFree, memTotal);
    status.totalVirtual = memTotal + swapTotal;
    status.freeVirtual =
        std::min(status.freePhysical + std::min(swapFree, swapTotal), status.totalVirtual);
    return status;
}

MemoryStatus currentMemoryStatus() {
    std::ifstream in("/proc/meminfo");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return parseMemInfo(text);
}

std::string versionWithStage(std::string_view version) {
    // The version resource gave "major,minor,stage,build"; the build gives
    // "major.minor.patch", read the same way with the dots as separators.
    std::string fields(version);
    for (char& c : fields) {
        if (c == '.') {
            c = ',';
        }
    }
    std::string text(version);
    if (const auto stage = fieldAt(fields, 2); stage && toInt(*stage) != 0) {
        text += "β";
    }
    return text;
}

std::string programVersionText() {
#ifdef VEMRA_VERSION
    return versionWithStage(VEMRA_VERSION);
#else
    return "0";
#endif
}

std::string systemVersionText() {
    utsname name{};
    std::string text = "Linux";
    if (::uname(&name) == 0) {
        text += ' ';
        text += name.release;
    }
    return text;
}

std::string qtVersionText() {
    std::string text = "Qt ";
    text += qVersion();
    return text;
}

std::string libcVersionText() {
    std::string text = "glibc ";
    text += gnu_get_libc_version();
    return text;
}

std::string hyperlinkErrorText(int code) {
    std::string text = "Unable to open hyperlink:\n\n";
    switch (code) {
    case 0:
        text += "The operating system is out\nof memory or resources.";
        break;
    case 2:
        text += "The specified file was not found.";
        break;
    case 3:
        text += "The specified path was not found.";
        break;
    case 5:
        text += "The operating system denied\naccess to the specified file.";
        break;
    case 8:
        text += "There was not enough memory to complete the operation.";
        break;
    case 11:
        text += "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case 26:
        text += "A sharing violation occurred. ";
        break;
    case 27:
        text += "The filename association is\nincomplete or invalid.";
        break;
    case 28:
        text += "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case 29:
        text += "The DDE transaction failed.";
        break;
    case 30:
        text += "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.";
        break;
    case 31:
        text += "There is no application associated\nwith the given filename extension.";
        break;
    case 32:
        text += "The specified dynamic-link library was not found.";
        break;
    default:
        text += "Unknown Error (";
        text += std::to_string(code);
        text += ") occurred.";
        break;
    }
    return text;
}

} // namespace vemra
