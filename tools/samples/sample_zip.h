#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A zip file of sample pictures, for the archive plug-in.
namespace vemra::samples {

struct ZipMember {
    std::string name; // "/"-separated path inside the zip, UTF-8
    std::vector<std::byte> data;
};

// Writes the members (each folder named in a path gets its own entry first,
// as archivers do) with the modification time `time`, deflated. The file
// appears only when complete. False when libarchive refuses.
bool writeZip(const std::string& path, const std::vector<ZipMember>& members, std::int64_t time);

} // namespace vemra::samples
