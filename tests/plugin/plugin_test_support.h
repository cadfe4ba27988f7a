#pragma once

#include "../imaging/test_support.h"
#include "imaging/plugin_module.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vemra::test {

// A shipped plug-in (build/plugins/NAME.spi) or a test-only one, loaded; the
// test fails when it cannot be.
PluginModule shippedPlugin(const std::string& name);
PluginModule testPlugin(const std::string& name);
std::string shippedPluginPath(const std::string& name);
std::string testPluginPath(const std::string& name);

// Deterministic bytes that do not compress.
std::vector<std::byte> noise(std::size_t size, std::uint32_t seed);

struct Member {
    std::string name; // "/"-separated path inside the archive
    std::vector<std::byte> data;
    std::int64_t mtime = 1700000000;
};

// Writes an archive with libarchive's writer. `format` is one of "zip",
// "zip-store", "7z", "tar", "cpio", "iso"; `filter` "", "gzip", "bzip2" or
// "xz". Folders named in member paths get their own folder entries first,
// as archivers write them. Names are UTF-8 unless `utf8Names` is false, in
// which case their bytes are stored as they are, as old Windows archivers
// did. False when libarchive refuses.
bool writeArchive(const std::string& path, const std::string& format, const std::string& filter,
                  const std::vector<Member>& members, bool utf8Names = true);

// The bytes of a file, or empty.
std::vector<std::byte> fileBytes(const std::string& path);

// Copies `data` into a zero-padded header block for IsSupported.
std::vector<std::byte> headerOf(const std::vector<std::byte>& data);

} // namespace vemra::test
