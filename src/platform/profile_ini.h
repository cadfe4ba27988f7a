#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vemra {

// An ini file read and written with the behaviour of Windows' private-profile
// functions, which the program's settings, the central cache list
// ("_cache_.lst") and the note files all rely on:
// - section and key names ignore ASCII letter case;
// - values are read trimmed, and a value wrapped in double quotes loses them;
// - a value that reading would alter is written inside one more pair of
//   quotes, so that it reads back exactly;
// - a write creates the file and the section when missing, replaces a key in
//   place or adds it after the section's last key;
// - keys and whole sections can be deleted;
// - comments (";" lines), blank lines and lines that are not understood
//   survive every rewrite.
// Each change is written at once (or at the end of a Batch) by replacing the
// whole file through a temporary file, so a crash leaves the old or the new
// file, never half of one. A file without write permission is never
// touched: writes to it fail and are forgotten. The file is re-read when
// another process replaced it, as the Windows functions would see it.
//
// The bytes are untrusted: files above kMaxFileBytes are not loaded (and then
// never written over), lines above kMaxLineBytes are kept but not parsed,
// and lines that are not UTF-8 are taken as Shift-JIS (they are written back
// as UTF-8). Not thread-safe; callers serialise access.
class ProfileIni {
public:
    static constexpr std::size_t kMaxValueBytes = 2000;
    static constexpr std::uint64_t kMaxFileBytes = 16u << 20;
    static constexpr std::size_t kMaxLineBytes = 256u << 10;

    enum class State {
        Missing,    // no file yet; the first write creates it
        Loaded,     // read and parsed
        Unreadable, // not a regular file, unreadable, or too large: read as empty, never written
    };

    explicit ProfileIni(std::string path);
    ProfileIni(ProfileIni&&) noexcept;
    ProfileIni& operator=(ProfileIni&&) noexcept;
    ProfileIni(const ProfileIni&) = delete;
    ProfileIni& operator=(const ProfileIni&) = delete;
    ~ProfileIni();

    const std::string& path() const { return m_path; }
    State state();

    // The value as read (trimmed, outer quotes removed), cut to at most
    // `maxBytes` bytes without splitting a character; nullopt when absent.
    std::optional<std::string> find(std::string_view section, std::string_view key,
                                    std::size_t maxBytes = kMaxValueBytes);
    std::string readText(std::string_view section, std::string_view key,
                         std::string_view fallback = {}, std::size_t maxBytes = kMaxValueBytes);
    // Decimal text read up to the first non-digit; an absent or empty value
    // gives `fallback`, a text without digits 0.
    int readInt(std::string_view section, std::string_view key, int fallback);

    // Section names and the key names of one section, in file order, as spelt
    // in the file.
    std::vector<std::string> sectionNames();
    std::vector<std::string> keyNames(std::string_view section);

    // Each returns false when the change was refused (read-only or unreadable
    // file, a name or value that would break the file's structure) or could
    // not be written; the store then holds the file's content unchanged.
    bool writeText(std::string_view section, std::string_view key, std::string_view value);
    bool writeInt(std::string_view section, std::string_view key, int value);
    bool deleteKey(std::string_view section, std::string_view key);
    bool deleteSection(std::string_view section);

    // Holds writes back while it lives and writes the file once at its end,
    // for owners that save many values together.
    class Batch {
    public:
        explicit Batch(ProfileIni& ini);
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        ~Batch();
        // Writes now; false when the file could not be written.
        bool commit();

    private:
        ProfileIni& m_ini;
        bool m_open = true;
    };

private:
    struct Line {
        std::string text; // the line as it will be written, without line end
        std::string key;  // for key lines: the key as spelt (empty otherwise)
        std::size_t valuePos = 0;
        bool isKey() const { return !key.empty(); }
    };
    struct Section {
        std::string name;
        bool hasHeader = true; // false only for lines before the first section
        std::vector<Line> lines;
        std::unordered_map<std::string, std::size_t> keyIndex; // folded key -> line
        void reindex();
    };
    struct FileStamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };

    void refresh();
    void load();
    void parse(std::string_view bytes);
    void addLine(std::string line);
    FileStamp stampOf() const;
    Section* findSection(std::string_view name);
    const Line* findLine(std::string_view section, std::string_view key);
    bool canWrite();
    bool changed();
    bool flush();
    std::string serialise() const;

    std::string m_path;
    State m_state = State::Missing;
    FileStamp m_stamp;
    bool m_crlf = false;
    std::size_t m_parseSection = 0; // where parsed lines go
    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_sectionIndex; // folded name -> section
    int m_batchDepth = 0;
    bool m_dirty = false;
};

} // namespace vemra
