#pragma once

#include <string>

namespace vemra {

// A shared object loaded with dlopen(RTLD_NOW | RTLD_LOCAL): every symbol is
// resolved at load time, so a library with a missing dependency fails here
// rather than in the middle of a call, and its symbols never leak into the
// lookups of other libraries. Move-only; the library is closed with the
// object.
class DynamicLibrary {
public:
    DynamicLibrary() noexcept = default;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    // Loads `path`. On failure the object stays unloaded and `error` (when
    // given) receives the system's text, e.g. "cannot open shared object file:
    // No such file or directory".
    bool open(const std::string& path, std::string* error = nullptr);
    // Loads the library called `name` (no "/") wherever the system's loader
    // finds it: LD_LIBRARY_PATH, the loader's cache, the standard folders.
    // For optional helper libraries the user installs; plug-ins use open().
    bool openFromSearchPath(const std::string& name, std::string* error = nullptr);
    // Closes the library; pointers into it are dangling afterwards.
    void close() noexcept;

    bool isOpen() const noexcept { return m_handle != nullptr; }
    // The address of an exported symbol, or null when the library is not
    // loaded or has no such symbol.
    void* symbol(const char* name) const noexcept;

    // Typed form of symbol() for function pointers.
    template <typename Function> Function function(const char* name) const noexcept {
        return reinterpret_cast<Function>(symbol(name));
    }

private:
    bool load(const std::string& name, std::string* error);

    void* m_handle = nullptr;
};

} // namespace vemra
