#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vemra::cli {

// Each command takes the arguments after its name and returns the exit
// status: 0 success, 1 the operation failed, 2 a usage error.
int runInfo(std::span<const std::string_view> args);

// Prints "vemra-cli: <what>: <cause> (result <n>)" on stderr, the result's
// name added after the number when the cause does not already say it, e.g.
// "no decoder takes this file (result 2: invalid data)".
void reportFailure(std::string_view what, int code, std::string_view cause);
// Text made safe for one tab-separated output line: line breaks, tabs and
// backslashes become \n, \r, \t and \\.
std::string escapeText(std::string_view text);

// Prints "vemra-cli: <message>" and the hint to use --help; returns 2.
int usageError(std::string_view message);

// A folder (or, unless `folderOnly`, archive) argument with any trailing "/"
// removed; a missing one is reported as an open failure and false returned.
bool takeFolderArgument(std::string& path, bool folderOnly);

} // namespace vemra::cli
