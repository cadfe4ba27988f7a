#include "platform/profile_ini.h"

#include "platform/atomic_file.h"
#include "platform/field_list.h"
#include "platform/text_encoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <span>
#include <utility>

namespace vemra {
namespace {

std::string folded(std::string_view name) {
    std::string result(name);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A key is written as it is given, so it must read back as the same key.
bool isWritableKey(std::string_view key) {
    return !key.empty() && key == trimmed(key) && key.find('=') == std::string_view::npos &&
           !hasLineBreak(key) && key.front() != '[' && key.front() != ';';
}

// Reading trims a value and drops a pair of enclosing double quotes, so a
// value that would lose something that way is stored inside one more pair of
// quotes; it then reads back exactly as written, here and on Windows.
std::string storedForm(std::string_view value) {
    const bool padded = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                           value.back() == ' ' || value.back() == '\t');
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (padded || quoted) {
        std::string stored;
        stored.reserve(value.size() + 2);
        stored.push_back('"');
        stored.append(value);
        stored.push_back('"');
        return stored;
    }
    return std::string(value);
}

bool isWritableSection(std::string_view name) {
    return name == trimmed(name) && !hasLineBreak(name);
}

// Reads a whole regular file of at most `limit` bytes; nullopt with errno
// set otherwise (EFBIG when too large, EISDIR/EINVAL for other kinds).
std::optional<std::string> readWholeFile(const std::string& path, std::uint64_t limit) {
    // O_NONBLOCK: a FIFO planted where the file should be must not hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    // The file may grow while it is read; the read stops at the limit.
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > limit) {
                errno = EFBIG;
                return std::nullopt;
            }
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

} // namespace

void ProfileIni::Section::reindex() {
    keyIndex.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isKey()) {
            keyIndex.emplace(folded(lines[i].key), i); // the first of equal keys wins
        }
    }
}

ProfileIni::ProfileIni(std::string path) : m_path(std::move(path)) {
    load();
}

ProfileIni::ProfileIni(ProfileIni&&) noexcept = default;
ProfileIni& ProfileIni::operator=(ProfileIni&&) noexcept = default;
ProfileIni::~ProfileIni() = default;

ProfileIni::State ProfileIni::state() {
    refresh();
    return m_state;
}

ProfileIni::FileStamp ProfileIni::stampOf() const {
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) {
        return {};
    }
    return {true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

void ProfileIni::refresh() {
    // Pending batched changes are newer than anything on disk.
    if (m_dirty) {
        return;
    }
    if (stampOf() != m_stamp) {
        load();
    }
}

void ProfileIni::load() {
    m_sections.clear();
    m_sectionIndex.clear();
    m_crlf = false;
    m_dirty = false;
    m_stamp = stampOf();
    const std::optional<std::string> bytes = readWholeFile(m_path, kMaxFileBytes);
    if (!bytes) {
        m_state = errno == ENOENT ? State::Missing : State::Unreadable;
        return;
    }
    m_state = State::Loaded;
    parse(*bytes);
}

void ProfileIni::parse(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    bool first = true;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        const bool crlf = line.ends_with('\r');
        if (crlf) {
            line.remove_suffix(1);
        }
        if (first && end != std::string_view::npos) {
            m_crlf = crlf; // rewrites keep the file's own line ends
            first = false;
        }
        addLine(toUtf8(line));
    }
}

void ProfileIni::addLine(std::string text) {
    if (m_sections.empty()) {
        // Lines before the first section header.
        m_sections.push_back(Section{{}, false, {}, {}});
        m_sectionIndex.emplace(std::string(), 0);
        m_parseSection = 0;
    }
    const bool parsable = text.size() <= kMaxLineBytes;
    const std::string_view body = trimmed(text);
    if (parsable && body.starts_with('[')) {
        const std::size_t close = body.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            // The last "]" ends the name, so names such as the note sections'
            // ":photo[1].jpg" survive.
            const std::string name(trimmed(body.substr(1, close - 1)));
            // A section that occurs again continues the first one.
            const auto [it, added] = m_sectionIndex.emplace(folded(name), m_sections.size());
            if (added) {
                m_sections.push_back(Section{name, true, {}, {}});
            }
            m_parseSection = it->second;
            return;
        }
    }
    const bool comment = body.starts_with(';');
    Section& section = m_sections[m_parseSection];
    Line line{std::move(text), {}, 0}; // `body` is not used past this point
    if (parsable && !comment) {
        const std::size_t equals = line.text.find('=');
        if (equals != std::string::npos) {
            line.key = std::string(trimmed(std::string_view(line.text).substr(0, equals)));
            line.valuePos = equals + 1;
        }
    }
    if (line.isKey()) {
        section.keyIndex.emplace(folded(line.key), section.lines.size());
    }
    section.lines.push_back(std::move(line));
}

ProfileIni::Section* ProfileIni::findSection(std::string_view name) {
    const auto it = m_sectionIndex.find(folded(name));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const ProfileIni::Line* ProfileIni::findLine(std::string_view section, std::string_view key) {
    refresh();
    const Section* s = findSection(section);
    if (s == nullptr) {
        return nullptr;
    }
    const auto it = s->keyIndex.find(folded(key));
    return it == s->keyIndex.end() ? nullptr : &s->lines[it->second];
}

std::optional<std::string> ProfileIni::find(std::string_view section, std::string_view key,
                                            std::size_t maxBytes) {
    const Line* line = findLine(section, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    std::string_view value = trimmed(std::string_view(line->text).substr(line->valuePos));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(utf8Prefix(value, maxBytes));
}

std::string ProfileIni::readText(std::string_view section, std::string_view key,
                                 std::string_view fallback, std::size_t maxBytes) {
    std::optional<std::string> value = find(section, key, maxBytes);
    return value ? std::move(*value) : std::string(fallback);
}

int ProfileIni::readInt(std::string_view section, std::string_view key, int fallback) {
    const std::optional<std::string> value = find(section, key);
    if (!value || value->empty()) {
        return fallback;
    }
    return toInt(*value);
}

std::vector<std::string> ProfileIni::sectionNames() {
    refresh();
    std::vector<std::string> names;
    for (const Section& s : m_sections) {
        if (s.hasHeader) {
            names.push_back(s.name);
        }
    }
    return names;
}

std::vector<std::string> ProfileIni::keyNames(std::string_view section) {
    refresh();
    std::vector<std::string> names;
    if (const Section* s = findSection(section)) {
        for (std::size_t i = 0; i < s->lines.size(); ++i) {
            const Line& line = s->lines[i];
            // A repeated key is listed once, as the one that reads answer.
            if (line.isKey() && s->keyIndex.at(folded(line.key)) == i) {
                names.push_back(line.key);
            }
        }
    }
    return names;
}

bool ProfileIni::canWrite() {
    refresh();
    if (m_state == State::Unreadable) {
        return false;
    }
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        // The owner's write bit counts even for root, as the read-only
        // attribute does on Windows.
        if ((info.st_mode & S_IWUSR) == 0 || ::access(m_path.c_str(), W_OK) != 0) {
            return false;
        }
    }
    return true;
}

bool ProfileIni::writeText(std::string_view section, std::string_view key, std::string_view value) {
    if (!isWritableSection(section) || !isWritableKey(key) || hasLineBreak(value) || !canWrite()) {
        return false;
    }
    const std::string stored = storedForm(value);
    Section* s = findSection(section);
    if (s == nullptr) {
        m_sectionIndex.emplace(folded(section), m_sections.size());
        m_sections.push_back(Section{std::string(section), true, {}, {}});
        s = &m_sections.back();
    }
    const auto it = s->keyIndex.find(folded(key));
    if (it != s->keyIndex.end()) {
        Line& line = s->lines[it->second];
        if (std::string_view(line.text).substr(line.valuePos) == stored) {
            return true;
        }
        line.text = line.key + "=" + stored;
        line.valuePos = line.key.size() + 1;
    } else {
        // After the section's last key, ahead of any blank or comment lines
        // that separate it from the next section.
        std::size_t at = s->lines.size();
        while (at > 0 && !s->lines[at - 1].isKey()) {
            --at;
        }
        if (at == 0) {
            at = s->lines.size();
            while (at > 0 && trimmed(s->lines[at - 1].text).empty()) {
                --at;
            }
        }
        Line line{std::string(key) + "=" + stored, std::string(key), key.size() + 1};
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        s->reindex();
    }
    return changed();
}

bool ProfileIni::writeInt(std::string_view section, std::string_view key, int value) {
    return writeText(section, key, std::to_string(value));
}

bool ProfileIni::deleteKey(std::string_view section, std::string_view key) {
    if (!canWrite()) {
        return false;
    }
    Section* s = findSection(section);
    if (s == nullptr || !s->keyIndex.contains(folded(key))) {
        return true;
    }
    const std::string wanted = folded(key);
    std::erase_if(s->lines,
                  [&](const Line& line) { return line.isKey() && folded(line.key) == wanted; });
    s->reindex();
    return changed();
}

bool ProfileIni::deleteSection(std::string_view section) {
    if (!canWrite()) {
        return false;
    }
    const auto it = m_sectionIndex.find(folded(section));
    if (it == m_sectionIndex.end()) {
        return true;
    }
    // Left in place as an empty section without a header, which reads and
    // writes as nothing, until the file is next written: deleting many
    // sections of a large file in a batch must not move the rest and rebuild
    // the index each time.
    Section& removed = m_sections[it->second];
    removed.name.clear();
    removed.hasHeader = false;
    removed.lines.clear();
    removed.keyIndex.clear();
    m_sectionIndex.erase(it);
    return changed();
}

bool ProfileIni::changed() {
    m_dirty = true;
    if (m_batchDepth > 0) {
        return true;
    }
    return flush();
}

std::string ProfileIni::serialise() const {
    const std::string_view eol = m_crlf ? "\r\n" : "\n";
    std::string text;
    for (const Section& s : m_sections) {
        if (s.hasHeader) {
            text += '[';
            text += s.name;
            text += ']';
            text += eol;
        }
        for (const Line& line : s.lines) {
            text += line.text;
            text += eol;
        }
    }
    return text;
}

bool ProfileIni::flush() {
    m_dirty = false;
    // The sections deleted since the last writing go for good (headerless
    // and empty, past the lines before the first section), and the index
    // follows.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        if (i == 0 || m_sections[i].hasHeader || !m_sections[i].lines.empty()) {
            if (kept != i) {
                m_sections[kept] = std::move(m_sections[i]);
            }
            ++kept;
        }
    }
    if (kept != m_sections.size()) {
        m_sections.resize(kept);
        m_sectionIndex.clear();
        for (std::size_t i = 0; i < m_sections.size(); ++i) {
            m_sectionIndex.emplace(folded(m_sections[i].name), i);
        }
    }
    // Write through a symbolic link rather than replacing the link itself.
    std::string target = m_path;
    std::error_code error;
    if (std::filesystem::is_symlink(m_path, error)) {
        const std::filesystem::path resolved = std::filesystem::canonical(m_path, error);
        if (!error) {
            target = resolved.string();
        }
    }
    struct stat before {};
    const bool existed = ::stat(target.c_str(), &before) == 0;
    const std::string text = serialise();
    if (!writeFileAtomically(target, std::as_bytes(std::span(text.data(), text.size())))) {
        load(); // forget the change: memory shows what the file holds
        return false;
    }
    if (existed) {
        ::chmod(target.c_str(), before.st_mode & 07777); // keep the owner's permissions
    }
    m_state = State::Loaded;
    m_stamp = stampOf();
    return true;
}

ProfileIni::Batch::Batch(ProfileIni& ini) : m_ini(ini) {
    ++m_ini.m_batchDepth;
}

ProfileIni::Batch::~Batch() {
    commit();
}

bool ProfileIni::Batch::commit() {
    if (!m_open) {
        return true;
    }
    m_open = false;
    if (--m_ini.m_batchDepth > 0 || !m_ini.m_dirty) {
        return true;
    }
    return m_ini.flush();
}

} // namespace vemra
