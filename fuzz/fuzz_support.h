#pragma once

// Pieces shared by the fuzz targets: viewing the input as bytes, a scratch
// folder for readers that only take files, and the offscreen GUI
// application the font-using decoders need.

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace vemra::fuzz {

inline std::span<const std::byte> asBytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const std::byte*>(data), size};
}

// A folder of this process under the temporary folder, removed with
// everything in it at exit, so runs in parallel never share files.
inline const std::string& scratchFolder() {
    struct Scratch {
        std::string path;
        Scratch() : path((std::filesystem::temp_directory_path() / "vemra-fuzz-XXXXXX").string()) {
            if (::mkdtemp(path.data()) == nullptr)
                std::abort();
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

// Writes `bytes` to `name` in the scratch folder and returns the path.
inline std::string writeScratch(const std::string& name, std::span<const std::byte> bytes) {
    std::string path = scratchFolder();
    path += '/';
    path += name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

// Text pictures and captions draw with fonts, which need a GUI application;
// the offscreen platform gives one without a display.
inline void ensureGuiApplication() {
    if (QGuiApplication::instance() != nullptr)
        return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "vemra-fuzz";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace vemra::fuzz
