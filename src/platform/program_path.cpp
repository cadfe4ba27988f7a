#include "platform/program_path.h"

#include <filesystem>

namespace vemra {

std::string executablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string executableDir() {
    return std::filesystem::path(executablePath()).parent_path().string();
}

} // namespace vemra
