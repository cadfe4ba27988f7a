#include "document/same_name_rule.h"

#include <sys/stat.h>

#include <optional>
#include <string>

namespace vemra {
namespace {

constexpr std::string_view kDefaultFormat = "%s-%d%s";

bool pathExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The format filled in, or nothing when it does not hold "%s", "%d", "%s"
// in this order and no other conversion.
std::optional<std::string> fillFormat(std::string_view format, std::string_view base, int number,
                                      std::string_view extension) {
    std::string out;
    int place = 0; // 0: base next, 1: number next, 2: extension next, 3: done
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 >= format.size())
            return std::nullopt;
        const char c = format[++i];
        if (c == '%') {
            out += '%';
        } else if (c == 's' && place == 0) {
            out += base;
            place = 1;
        } else if (c == 'd' && place == 1) {
            out += std::to_string(number);
            place = 2;
        } else if (c == 's' && place == 2) {
            out += extension;
            place = 3;
        } else {
            return std::nullopt;
        }
    }
    if (place != 3)
        return std::nullopt;
    return out;
}

} // namespace

SameNameAction sameNameActionFrom(int stored, SameNameAction fallback) {
    return stored >= 0 && stored <= 5 ? static_cast<SameNameAction>(stored) : fallback;
}

bool transfersOver(SameNameAction action, std::int64_t sourceTime, std::uint64_t sourceSize,
                   std::int64_t targetTime, std::uint64_t targetSize) {
    switch (action) {
    case SameNameAction::NewerOnly:
        return sourceTime > targetTime;
    case SameNameAction::Overwrite:
    case SameNameAction::Rename:
    case SameNameAction::AutoNumber:
        return true;
    case SameNameAction::Skip:
        return false;
    case SameNameAction::Larger:
        return sourceSize > targetSize;
    }
    return false;
}

std::string autoNumberedName(std::string_view format, std::string_view base, int number,
                             std::string_view extension) {
    if (auto name = fillFormat(format, base, number, extension))
        return *name;
    return *fillFormat(kDefaultFormat, base, number, extension);
}

std::string firstFreeNumberedName(std::string_view format, const std::string& target) {
    // The extension is the last dot of the file name, not of a folder.
    const auto slash = target.find_last_of('/');
    const auto dot = target.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string_view path(target);
    const std::string_view base = hasExtension ? path.substr(0, dot) : path;
    const std::string_view extension = hasExtension ? path.substr(dot) : std::string_view();
    // A format that puts no number in the name would give the same name
    // forever; the default's names are tried then.
    std::string_view useFormat = format;
    if (autoNumberedName(format, base, 2, extension) ==
        autoNumberedName(format, base, 3, extension))
        useFormat = kDefaultFormat;
    for (int n = 2; n < 1000000; ++n) {
        std::string name = autoNumberedName(useFormat, base, n, extension);
        if (!pathExists(name))
            return name;
    }
    return target;
}

} // namespace vemra
