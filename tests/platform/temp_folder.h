#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vemra::test {

// A fresh folder removed with everything in it when the test ends.
class TempFolder {
public:
    TempFolder() {
        static std::mt19937 random{std::random_device{}()};
        m_path = std::filesystem::temp_directory_path() /
                 ("vemra-platform-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace vemra::test
