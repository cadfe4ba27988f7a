#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// copy SRC... DEST [--same 0-5] [--only-existing]
int runCopy(std::span<const std::string_view> args);
// move SRC... DEST [--same 0-5] [--only-existing]
int runMove(std::span<const std::string_view> args);
// delete FILE... [--trash]
int runDelete(std::span<const std::string_view> args);
// unpack ARCHIVE DEST: every member side by side into DEST
int runUnpack(std::span<const std::string_view> args);

} // namespace vemra::cli
