// libFuzzer target: the file that keeps the plug-ins' information between
// runs. It lies in the user's cache folder, where anything may write it.

#include "imaging/plugin_info_cache.h"

#include <cstdint>
#include <string_view>

using namespace vemra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::map<std::string, PluginInfoCache::Entry> entries;
    if (PluginInfoCache::parse(std::string_view(reinterpret_cast<const char*>(data), size),
                               entries)) {
        // What was accepted is written back as it was read.
        std::map<std::string, PluginInfoCache::Entry> again;
        if (!PluginInfoCache::parse(PluginInfoCache::serialise(entries), again) ||
            again.size() != entries.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
