#include "settings/settings_store.h"

#include "platform/field_list.h"
#include "platform/program_path.h"

#include <cstdlib>
#include <filesystem>

namespace vemra {

namespace fs = std::filesystem;

SettingsPlaces currentSettingsPlaces(std::string_view programName) {
    SettingsPlaces places;
    const fs::path program(executablePath());
    places.programFolder = program.parent_path().string();
    places.programName =
        programName.empty() ? program.filename().string() : std::string(programName);
    if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
        places.configHome = config;
    }
    if (const char* home = std::getenv("HOME")) {
        places.home = home;
    }
    return places;
}

std::string portableSettingsPath(const SettingsPlaces& places) {
    if (places.programName.empty()) {
        return {};
    }
    fs::path name(places.programName);
    name.replace_extension(".ini");
    return (fs::path(places.programFolder) / name).string();
}

std::string userSettingsPath(const SettingsPlaces& places) {
    // The XDG rule: a relative $XDG_CONFIG_HOME is invalid and ignored.
    fs::path config(places.configHome);
    if (config.empty() || config.is_relative()) {
        config = fs::path(places.home.empty() ? "." : places.home) / ".config";
    }
    return (config / "ZRV" / "Vemra.ini").string();
}

std::string chooseSettingsPath(const SettingsPlaces& places) {
    const std::string portable = portableSettingsPath(places);
    std::error_code error;
    if (!portable.empty() && fs::is_regular_file(portable, error)) {
        return portable;
    }
    return userSettingsPath(places);
}

SettingsStore::SettingsStore(std::string iniPath) : m_path(std::move(iniPath)), m_ini(m_path) {}

int SettingsStore::getInt(std::string_view section, std::string_view key, int fallback) {
    std::lock_guard lock(m_mutex);
    return m_ini.readInt(section, key, fallback);
}

bool SettingsStore::putInt(std::string_view section, std::string_view key, int value) {
    return putText(section, key, std::to_string(value));
}

std::string SettingsStore::getText(std::string_view section, std::string_view key,
                                   std::string_view fallback) {
    std::lock_guard lock(m_mutex);
    return m_ini.readText(section, key, fallback);
}

bool SettingsStore::putText(std::string_view section, std::string_view key, std::string_view text) {
    std::lock_guard lock(m_mutex);
    return prepareFolder() && m_ini.writeText(section, key, text);
}

std::int64_t SettingsStore::getInt64(std::string_view section, std::string_view key,
                                     std::int64_t fallback) {
    std::lock_guard lock(m_mutex);
    const std::optional<std::string> value = m_ini.find(section, key);
    return value && !value->empty() ? toInt64(*value) : fallback;
}

bool SettingsStore::putInt64(std::string_view section, std::string_view key, std::int64_t value) {
    return putText(section, key, std::to_string(value));
}

bool SettingsStore::contains(std::string_view section, std::string_view key) {
    std::lock_guard lock(m_mutex);
    return m_ini.find(section, key).has_value();
}

bool SettingsStore::deleteKey(std::string_view section, std::string_view key) {
    std::lock_guard lock(m_mutex);
    return m_ini.deleteKey(section, key);
}

bool SettingsStore::deleteSection(std::string_view section) {
    std::lock_guard lock(m_mutex);
    return m_ini.deleteSection(section);
}

std::vector<std::string> SettingsStore::sectionNames() {
    std::lock_guard lock(m_mutex);
    return m_ini.sectionNames();
}

std::vector<std::string> SettingsStore::keyNames(std::string_view section) {
    std::lock_guard lock(m_mutex);
    return m_ini.keyNames(section);
}

bool SettingsStore::prepareFolder() {
    // The per-user folder "ZRV" appears with the first value written.
    const fs::path folder = fs::path(m_path).parent_path();
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) {
        return true;
    }
    fs::create_directories(folder, error);
    return !error;
}

SettingsStore::Batch::Batch(SettingsStore& store) : m_lock(store.m_mutex), m_batch(store.m_ini) {}

SettingsStore::Batch::~Batch() = default;

namespace {

std::mutex g_storeMutex;
std::unique_ptr<SettingsStore> g_store;

} // namespace

SettingsStore& settings() {
    std::lock_guard lock(g_storeMutex);
    if (!g_store) {
        g_store = std::make_unique<SettingsStore>(chooseSettingsPath(currentSettingsPlaces()));
    }
    return *g_store;
}

void useSettingsFile(std::string path) {
    std::lock_guard lock(g_storeMutex);
    g_store = std::make_unique<SettingsStore>(std::move(path));
}

} // namespace vemra
