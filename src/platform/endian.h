#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Little-endian loads and stores for file and memory records. The callers
// check bounds; these only keep unaligned access well-defined.
namespace vemra {

static_assert(std::endian::native == std::endian::little,
              "the picture and record layouts are little-endian");

inline std::uint16_t loadU16(const std::byte* p) noexcept {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint32_t loadU32(const std::byte* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::int16_t loadI16(const std::byte* p) noexcept {
    return static_cast<std::int16_t>(loadU16(p));
}
inline std::int32_t loadI32(const std::byte* p) noexcept {
    return static_cast<std::int32_t>(loadU32(p));
}
inline void storeU16(std::byte* p, std::uint16_t v) noexcept {
    std::memcpy(p, &v, sizeof v);
}
inline void storeU32(std::byte* p, std::uint32_t v) noexcept {
    std::memcpy(p, &v, sizeof v);
}
inline void storeI32(std::byte* p, std::int32_t v) noexcept {
    std::memcpy(p, &v, sizeof v);
}

} // namespace vemra
