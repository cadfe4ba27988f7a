#include "app/manual_file.h"

#include <system_error>

namespace vemra {

std::filesystem::path findManual(const std::filesystem::path& programFolder) {
    namespace fs = std::filesystem;
    const fs::path places[] = {
        programFolder / kManualFileName,
        programFolder / ".." / "share" / "doc" / "vemra" / kManualFileName,
    };
    for (const fs::path& place : places) {
        std::error_code error;
        if (fs::is_regular_file(place, error)) {
            return place.lexically_normal();
        }
    }
    return {};
}

} // namespace vemra
