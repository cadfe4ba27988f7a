#pragma once

#include "document/access_key_file.h"
#include "platform/field_list.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vemra {

// The reader of ini-format files that come with picture folders (folder
// information files written by other programs). Unlike the settings ini it
// compares section names and keys byte for byte, keeps a ";" comment only
// outside double quotes, and reads values in the lenient stored forms.
//
// Rules, line by line (a line ends at LF; a CR before it is dropped):
//   - a line starting with ";" is a comment;
//   - after leading spaces and tabs, "[name]" opens (or continues) section
//     "name"; a "[" line without "]" is ignored;
//   - "key = value" sets a key (trailing blanks of the key and leading blanks
//     of the value dropped); the first ";" ends the value unless it lies
//     between double quotes; a repeated key replaces the earlier value;
//   - keys before the first section belong to the section "";
//   - other lines are ignored.
// Files from outside are untrusted: a line longer than kMaxLine bytes keeps
// its first kMaxLine bytes and the rest is dropped (it is never read as a
// line of its own), and a file larger than kMaxFileBytes is not read.
// Text that is not UTF-8 is taken as Shift-JIS.
class IniStore {
public:
    static constexpr std::size_t kMaxLine = 4095;
    static constexpr std::uint64_t kMaxFileBytes = 64u << 20;

    struct Value {
        std::string text;
        bool found = false;
    };
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };

    // Loads `path`, guarded by an access-key lock taken with `retries` (see
    // AccessKeyFile). False, with an empty store, when the lock could not be
    // had or the file cannot be read.
    bool open(const std::string& path, int retries = 0);
    // Reads ini text from memory (no lock).
    void load(std::string_view text);
    // Empties the store and releases the lock.
    void close();

    Value text(std::string_view section, std::string_view key) const;
    // The raw value read as an integer; 0 when absent.
    int integer(std::string_view section, std::string_view key, bool* found = nullptr) const;
    std::int64_t integer64(std::string_view section, std::string_view key,
                           bool* found = nullptr) const;
    // Field 0 of the value as a field list (quotes removed).
    Value field(std::string_view section, std::string_view key) const;
    // Fields 0 and 1 as integers.
    IntPair pair(std::string_view section, std::string_view key, bool* found = nullptr) const;

    const std::vector<Section>& sections() const { return m_sections; }
    bool hasSection(std::string_view name) const;

private:
    const std::string* find(std::string_view section, std::string_view key) const;
    std::size_t sectionNamed(std::string_view name);

    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_sectionIndex;
    std::vector<std::unordered_map<std::string, std::size_t>> m_keyIndex;
    AccessKeyFile m_lock;
};

} // namespace vemra
