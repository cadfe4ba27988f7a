#include "document/ini_store.h"

#include "platform/file_status.h"
#include "platform/text_encoding.h"

#include <fstream>

namespace vemra {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view skipBlanks(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

// The value as stored: cut at the first ";" unless that ";" sits between two
// double quotes, in which case the whole value stays.
std::string_view stripComment(std::string_view value) {
    const std::size_t semi = value.find(';');
    if (semi == std::string_view::npos)
        return value;
    const std::size_t quoteBefore = value.substr(0, semi).find('"');
    const std::size_t quoteAfter = value.find('"', semi);
    if (quoteBefore != std::string_view::npos && quoteAfter != std::string_view::npos)
        return value;
    return value.substr(0, semi);
}

} // namespace

bool IniStore::open(const std::string& path, int retries) {
    close();
    if (!m_lock.acquire(path, retries))
        return false;
    auto status = fileStatus(path);
    if (!status || !status->isFile || status->size > kMaxFileBytes) {
        m_lock.release();
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_lock.release();
        return false;
    }
    std::string bytes(static_cast<std::size_t>(status->size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    load(bytes);
    return true;
}

void IniStore::load(std::string_view text) {
    const bool utf8 = isValidUtf8(text);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t current = kNone;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kMaxLine)
            line = line.substr(0, kMaxLine);
        if (line.empty() || line.front() == ';')
            continue;
        line = skipBlanks(line);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos)
                continue;
            const std::string_view name = line.substr(1, close - 1);
            current = sectionNamed(utf8 ? std::string(name) : decodeCp932(name));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && isBlank(key.back()))
            key.remove_suffix(1);
        std::string_view value = stripComment(skipBlanks(line.substr(eq + 1)));
        if (current == kNone)
            current = sectionNamed("");
        Section& section = m_sections[current];
        std::string keyText = utf8 ? std::string(key) : decodeCp932(key);
        std::string valueText = utf8 ? std::string(value) : decodeCp932(value);
        auto& index = m_keyIndex[current];
        auto it = index.find(keyText);
        if (it != index.end()) {
            section.keys[it->second].second = std::move(valueText);
        } else {
            index.emplace(keyText, section.keys.size());
            section.keys.emplace_back(std::move(keyText), std::move(valueText));
        }
    }
}

std::size_t IniStore::sectionNamed(std::string_view name) {
    auto it = m_sectionIndex.find(std::string(name));
    if (it != m_sectionIndex.end())
        return it->second;
    m_sectionIndex.emplace(std::string(name), m_sections.size());
    m_sections.push_back({std::string(name), {}});
    m_keyIndex.emplace_back();
    return m_sections.size() - 1;
}

void IniStore::close() {
    m_sections.clear();
    m_sectionIndex.clear();
    m_keyIndex.clear();
    m_lock.release();
}

const std::string* IniStore::find(std::string_view section, std::string_view key) const {
    auto s = m_sectionIndex.find(std::string(section));
    if (s == m_sectionIndex.end())
        return nullptr;
    const auto& index = m_keyIndex[s->second];
    auto k = index.find(std::string(key));
    if (k == index.end())
        return nullptr;
    return &m_sections[s->second].keys[k->second].second;
}

bool IniStore::hasSection(std::string_view name) const {
    return m_sectionIndex.contains(std::string(name));
}

IniStore::Value IniStore::text(std::string_view section, std::string_view key) const {
    const std::string* value = find(section, key);
    if (!value)
        return {};
    return {*value, true};
}

int IniStore::integer(std::string_view section, std::string_view key, bool* found) const {
    const std::string* value = find(section, key);
    if (found)
        *found = value != nullptr;
    return value ? toInt(*value) : 0;
}

std::int64_t IniStore::integer64(std::string_view section, std::string_view key,
                                 bool* found) const {
    const std::string* value = find(section, key);
    if (found)
        *found = value != nullptr;
    return value ? toInt64(*value) : 0;
}

IniStore::Value IniStore::field(std::string_view section, std::string_view key) const {
    const std::string* value = find(section, key);
    if (!value)
        return {};
    return {std::string(fieldAt(*value, 0).value_or(std::string_view{})), true};
}

IntPair IniStore::pair(std::string_view section, std::string_view key, bool* found) const {
    const std::string* value = find(section, key);
    if (found)
        *found = value != nullptr;
    return value ? readPair(*value) : IntPair{};
}

} // namespace vemra
