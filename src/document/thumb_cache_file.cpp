#include "document/thumb_cache_file.h"

#include "platform/atomic_file.h"
#include "platform/endian.h"
#include "platform/file_status.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace vemra {
namespace {

// The smallest stored header that still says how much data follows.
constexpr std::size_t kMinHeader = 8;

bool readExactly(std::ifstream& in, std::byte* to, std::size_t count) {
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(count));
    return in.gcount() == static_cast<std::streamsize>(count);
}

} // namespace

ThumbCacheFile::ThumbCacheFile(std::string folder, std::string path)
    : m_folder(std::move(folder)), m_path(std::move(path)) {}

bool ThumbCacheFile::load() {
    m_slots.clear();
    m_erased = 0;
    m_index.clear();
    m_shadowed.clear();
    m_held = 0;
    m_changed = true;
    // Only a regular file: opening a pipe or a device would block or never end.
    if (!isExistingFile(m_path))
        return false;
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0)
        return false;
    const auto end = static_cast<std::uint64_t>(size);
    std::uint64_t position = 0;
    std::uint64_t held = 0;
    std::vector<std::byte> header;
    while (end - position >= 2 && held < kMaxLoadedBytes) {
        // The header length is the low half of the header-size field, so a
        // reader copes with headers of any writer's length.
        std::byte lengthBytes[2];
        if (!readExactly(in, lengthBytes, 2))
            break;
        const std::size_t headerLength = loadU16(lengthBytes);
        if (headerLength < kMinHeader || headerLength > end - position)
            break;
        header.resize(headerLength);
        in.seekg(static_cast<std::streamoff>(position));
        if (!readExactly(in, header.data(), headerLength))
            break;
        position += headerLength;
        const std::uint32_t dataSize = loadU32(header.data() + ThumbRecord::DataSize);
        if (dataSize > end - position)
            break;
        if (dataSize > kMaxDataBytes) {
            // No thumbnail is this large; skip the data, keep reading.
            position += dataSize;
            in.seekg(static_cast<std::streamoff>(position));
            continue;
        }
        std::vector<std::byte> data(dataSize);
        if (dataSize > 0 && !readExactly(in, data.data(), dataSize))
            break;
        position += dataSize;
        held += ThumbRecord::kHeaderSize + dataSize;
        add(ThumbRecord::fromStored(header, std::move(data)));
    }
    return true;
}

std::string ThumbCacheFile::key(std::string_view fileName, std::string_view archiveFileName) {
    std::string k;
    k.reserve(fileName.size() + 1 + archiveFileName.size());
    k.append(fileName).push_back('\0');
    k.append(archiveFileName);
    return k;
}

namespace {

// The record a slot holds, or reads back from the scratch file.
template <class Slot>
std::optional<ThumbRecord> recordIn(const Slot& slot, const SpoolFile& spool) {
    if (slot.record)
        return slot.record;
    std::vector<std::byte> bytes;
    if (!spool.read(slot.offset, slot.size, bytes))
        return std::nullopt;
    return ThumbRecord::fromBytes(std::move(bytes));
}

// A name field exactly as stored, as ThumbRecord::hasNames compares it.
std::string_view storedName(const ThumbRecord& record, ThumbRecord::Offset field) {
    const auto* chars = reinterpret_cast<const char*>(record.bytes().data() + field);
    return {chars, strnlen(chars, ThumbRecord::kNameField)};
}

} // namespace

std::size_t ThumbCacheFile::indexOf(std::string_view fileName,
                                    std::string_view archiveFileName) const {
    const auto found = m_index.find(key(fileName, archiveFileName));
    return found != m_index.end() ? found->second : m_slots.size();
}

void ThumbCacheFile::add(ThumbRecord record) {
    std::string names = key(storedName(record, ThumbRecord::FileName),
                            storedName(record, ThumbRecord::ArchiveFileName));
    const std::size_t at = m_slots.size();
    // The first of two records with the same names is the one found.
    if (m_index.contains(names))
        m_shadowed.emplace(std::move(names), at);
    else
        m_index.emplace(std::move(names), at);
    m_slots.emplace_back();
    place(at, std::move(record));
}

void ThumbCacheFile::place(std::size_t at, ThumbRecord record) {
    Slot& slot = m_slots[at];
    m_held += record.bytes().size();
    slot.record = std::move(record);
    slot.offset = -1;
    slot.size = 0;
    keep(at);
}

void ThumbCacheFile::keep(std::size_t at) {
    Slot& slot = m_slots[at];
    if (m_held <= m_heldLimit || !slot.record || m_spoolFailed)
        return;
    if (!m_spool.isOpen()) {
        const auto slash = m_path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash);
        // A folder that cannot take it (read-only media): memory it is.
        if (!m_spool.create(folder)) {
            m_spoolFailed = true;
            return;
        }
    }
    const auto bytes = slot.record->bytes();
    const std::int64_t offset = m_spool.append(bytes);
    if (offset < 0)
        return;
    m_held -= bytes.size();
    slot.offset = offset;
    slot.size = static_cast<std::uint32_t>(bytes.size());
    slot.record.reset();
}

// What the scratch file holds of the record stays there unused.
void ThumbCacheFile::forget(std::size_t at) {
    Slot& slot = m_slots[at];
    if (slot.record)
        m_held -= slot.record->bytes().size();
    slot = {};
}

std::optional<ThumbRecord> ThumbCacheFile::recordAt(std::size_t at) const {
    if (at >= recordCount())
        return std::nullopt;
    std::size_t slotAt = at;
    if (m_erased > 0) {
        slotAt = 0;
        for (std::size_t live = 0;; ++slotAt) {
            if (m_slots[slotAt].erased)
                continue;
            if (live++ == at)
                break;
        }
    }
    return recordIn(m_slots[slotAt], m_spool);
}

std::optional<ThumbRecord> ThumbCacheFile::find(std::string_view fileName,
                                                std::string_view archiveFileName) const {
    const std::size_t at = indexOf(fileName, archiveFileName);
    if (at >= m_slots.size())
        return std::nullopt;
    return recordIn(m_slots[at], m_spool);
}

bool ThumbCacheFile::contains(std::string_view fileName, std::string_view archiveFileName) const {
    return indexOf(fileName, archiveFileName) < m_slots.size();
}

void ThumbCacheFile::put(ThumbRecord record) {
    const std::size_t at = indexOf(storedName(record, ThumbRecord::FileName),
                                   storedName(record, ThumbRecord::ArchiveFileName));
    m_changed = true;
    if (at == m_slots.size()) {
        add(std::move(record));
        return;
    }
    forget(at);
    place(at, std::move(record));
}

bool ThumbCacheFile::erase(std::string_view fileName, std::string_view archiveFileName) {
    const std::string names = key(fileName, archiveFileName);
    const auto found = m_index.find(names);
    if (found == m_index.end())
        return false;
    const std::size_t at = found->second;
    forget(at);
    m_slots[at].erased = true;
    ++m_erased;
    m_index.erase(found);
    // A later record with the same names is found from now on.
    const auto [first, last] = m_shadowed.equal_range(names);
    auto next = first;
    for (auto it = first; it != last; ++it) {
        if (it->second < next->second)
            next = it;
    }
    if (next != last) {
        m_index.emplace(names, next->second);
        m_shadowed.erase(next);
    }
    m_changed = true;
    if (m_erased > m_slots.size() / 2)
        compact();
    return true;
}

void ThumbCacheFile::compact() {
    if (m_erased == 0)
        return;
    std::vector<std::size_t> moved(m_slots.size(), 0);
    std::size_t kept = 0;
    for (std::size_t at = 0; at < m_slots.size(); ++at) {
        moved[at] = kept;
        if (m_slots[at].erased)
            continue;
        if (kept != at)
            m_slots[kept] = std::move(m_slots[at]);
        ++kept;
    }
    m_slots.resize(kept);
    m_erased = 0;
    for (auto& [name, position] : m_index)
        position = moved[position];
    for (auto& [name, position] : m_shadowed)
        position = moved[position];
}

bool ThumbCacheFile::write() {
    compact();
    if (m_slots.empty()) {
        std::remove(m_path.c_str());
        m_changed = false;
        return true;
    }
    if (!m_changed)
        return true;
    AtomicFile file(m_path);
    bool ok = file.open();
    std::vector<std::byte> bytes;
    for (std::size_t i = 0; ok && i < m_slots.size(); ++i) {
        const Slot& slot = m_slots[i];
        if (slot.record) {
            ok = file.write(slot.record->bytes());
            continue;
        }
        // A record the scratch file cannot give back leaves the file as it
        // was rather than a record without its data.
        ok = m_spool.read(slot.offset, slot.size, bytes) && file.write(bytes);
    }
    // A failed write leaves the previous file whole; its records still
    // check themselves against each picture, so nothing wrong is shown.
    if (!ok || !file.commit())
        return false;
    m_changed = false;
    return true;
}

} // namespace vemra
