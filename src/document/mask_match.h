#pragma once

#include <string_view>

namespace vemra {

// The matching used for extension lists ("*.jpg;*.png"), which decides what
// the decoders take; the folder enumeration itself uses the file system's
// wildcard rules instead (platform/wildcard.h).
//
// Name and mask are each cut at their last "."; both must have an extension
// part or neither; base and extension are matched separately, ignoring
// letter case. "?" matches one character, "*" any run, and a literal after
// "*" is taken at its first occurrence (no backtracking). A part matches when
// both are used up or the mask part ends in "*". So "README" does not match
// "*.*", and "*" alone matches only names without ".".
bool matchesMask(std::string_view name, std::string_view mask);

// True when `name` matches one of the ";"-separated masks in `masks`.
bool matchesMaskList(std::string_view name, std::string_view masks);

} // namespace vemra
