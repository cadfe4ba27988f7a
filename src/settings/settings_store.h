#pragma once

#include "platform/profile_ini.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// What the choice of the settings file depends on, gathered once so that
// tests and the command line can supply their own.
struct SettingsPlaces {
    std::string programFolder; // the folder holding the program
    std::string programName;   // the program's file name, e.g. "vemra"
    std::string configHome;    // $XDG_CONFIG_HOME, empty when unset
    std::string home;          // $HOME
};

// The running program's places; `programName` overrides the file name (the
// batch tool uses the main program's settings).
SettingsPlaces currentSettingsPlaces(std::string_view programName = {});
// The program's own ini: its file name with the extension replaced by ".ini",
// in the program's folder. Its presence makes the program portable.
std::string portableSettingsPath(const SettingsPlaces& places);
// The per-user file: $XDG_CONFIG_HOME (else ~/.config) + "/ZRV/Vemra.ini".
std::string userSettingsPath(const SettingsPlaces& places);
// The portable ini when that file exists, else the per-user file.
std::string chooseSettingsPath(const SettingsPlaces& places);

// The one store of named values in named sections through which every part of
// the program reads and writes its options. Reads give the default when a
// value is missing (and 0 for an integer that is not a number); failed writes
// (a read-only file, a folder that cannot be created) change nothing and are
// otherwise ignored by the program, though they report false. Safe to use
// from several threads.
class SettingsStore {
public:
    explicit SettingsStore(std::string iniPath);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::string& path() const { return m_path; }

    int getInt(std::string_view section, std::string_view key, int fallback);
    bool putInt(std::string_view section, std::string_view key, int value);
    std::string getText(std::string_view section, std::string_view key,
                        std::string_view fallback = {});
    bool putText(std::string_view section, std::string_view key, std::string_view text);
    // Time values and byte counts that outgrow 32 bits, stored as decimal text.
    std::int64_t getInt64(std::string_view section, std::string_view key, std::int64_t fallback);
    bool putInt64(std::string_view section, std::string_view key, std::int64_t value);

    bool contains(std::string_view section, std::string_view key);
    bool deleteKey(std::string_view section, std::string_view key);
    bool deleteSection(std::string_view section);
    std::vector<std::string> sectionNames();
    std::vector<std::string> keyNames(std::string_view section);

    // Gathers the writes made while it lives (by any thread's owner of the
    // store) into one rewrite of the file at its end.
    class Batch {
    public:
        explicit Batch(SettingsStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        std::unique_lock<std::recursive_mutex> m_lock;
        ProfileIni::Batch m_batch;
    };

private:
    bool prepareFolder();

    std::string m_path;
    std::recursive_mutex m_mutex;
    ProfileIni m_ini;
};

// The store of this run, chosen on first use from currentSettingsPlaces()
// unless useSettingsFile() chose it before.
SettingsStore& settings();
// Makes `path` the store of this run (the batch tool's --settings option,
// tests); call it before the store is used.
void useSettingsFile(std::string path);

} // namespace vemra
