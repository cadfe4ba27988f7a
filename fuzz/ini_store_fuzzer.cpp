// The reader of ini files that come with picture folders (folder information
// written by other programs) on arbitrary bytes: loading and every value form
// must stay within bounds.
#include "document/ini_store.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vemra::IniStore ini;
    ini.load(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& section : ini.sections()) {
        for (const auto& [key, value] : section.keys) {
            (void)ini.integer64(section.name, key);
            (void)ini.field(section.name, key);
            (void)ini.pair(section.name, key);
        }
    }
    (void)ini.integer("Document", "MaxCount");
    return 0;
}
