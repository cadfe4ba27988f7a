#pragma once

#include <cstdint>
#include <string>

namespace vemra {

// A byte count for people: divided by 1024 while it is at least 1000 (at
// most `largestUnit` times: 0 B, 1 KB, 2 MB, 3 GB, 4 TB), printed with
// `decimals` decimals and thousands separators, then the unit.
// sizeText(1536, 1, 2) == "1.5KB", sizeText(999, 1, 2) == "999.0B".
std::string sizeText(std::uint64_t bytes, int decimals, int largestUnit);

// A whole number with thousands separators: groupedNumber(1234567) ==
// "1,234,567".
std::string groupedNumber(std::uint64_t value);

} // namespace vemra
