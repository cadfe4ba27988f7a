#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace vemra {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    close();
}

bool DynamicLibrary::open(const std::string& path, std::string* error) {
    // A name without a "/" would make dlopen search the system's library
    // path instead of loading the file the caller means.
    return load(path.find('/') == std::string::npos ? "./" + path : path, error);
}

bool DynamicLibrary::openFromSearchPath(const std::string& name, std::string* error) {
    return load(name, error);
}

bool DynamicLibrary::load(const std::string& name, std::string* error) {
    close();
    ::dlerror();
    m_handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr && error != nullptr) {
        const char* text = ::dlerror();
        *error = text != nullptr ? text : "cannot load the library";
    }
    return m_handle != nullptr;
}

void DynamicLibrary::close() noexcept {
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* DynamicLibrary::symbol(const char* name) const noexcept {
    if (m_handle == nullptr) {
        return nullptr;
    }
    return ::dlsym(m_handle, name);
}

} // namespace vemra
