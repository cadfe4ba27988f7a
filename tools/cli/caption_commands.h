#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vemra {
class DecoderRegistry;
class PictureSource;
} // namespace vemra

namespace vemra::cli {

// caption FILE [--member NAME] FORMAT...: the file (or the archive member
// NAME of the archive FILE) identified through the registry, with its note,
// and each FORMAT expanded with the caption macros, one line each.
int runCaption(std::span<const std::string_view> args);

// Fills `entry` for the picture file `file` (made absolute) as a scan
// would: names, length, times, decoder, size, depth and information text.
// False, after a message, when the file cannot be opened.
bool describeFile(DecoderRegistry& registry, const std::string& file, PictureSource& entry);
// Names, length and times only (no decoder asked), for operations on any
// file; false after a message when it is no file.
bool describeFileNames(const std::string& file, PictureSource& entry);

} // namespace vemra::cli
