#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// Bytes of a file read for identification.
inline constexpr std::size_t kIdentifyHeaderBytes = 2560;

// Reads up to kIdentifyHeaderBytes from `fd` (or the named file when `fd`
// is -1) at `offset`; empty when nothing can be read.
std::vector<std::byte> readIdentifyHeader(const std::string& path, int fd, std::int64_t offset);

// The header zero-padded to the 2048 bytes built-ins and plug-ins are
// promised.
std::vector<std::byte> paddedIdentifyHeader(std::span<const std::byte> header);

} // namespace vemra
