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
    m_records.clear();
    m_spooled.clear();
    m_index.clear();
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

// A name field exactly as stored, as ThumbRecord::hasNames compares it.
std::string_view storedName(const ThumbRecord& record, ThumbRecord::Offset field) {
    const auto* chars = reinterpret_cast<const char*>(record.bytes().data() + field);
    return {chars, strnlen(chars, ThumbRecord::kNameField)};
}

} // namespace

std::size_t ThumbCacheFile::indexOf(std::string_view fileName,
                                    std::string_view archiveFileName) const {
    const auto found = m_index.find(key(fileName, archiveFileName));
    return found != m_index.end() ? found->second : m_records.size();
}

void ThumbCacheFile::rebuildIndex() {
    m_index.clear();
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const ThumbRecord& r = m_records[i];
        // The first of two records with the same names is the one found.
        m_index.emplace(
            key(storedName(r, ThumbRecord::FileName), storedName(r, ThumbRecord::ArchiveFileName)),
            i);
    }
}

void ThumbCacheFile::add(ThumbRecord record) {
    m_index.emplace(key(storedName(record, ThumbRecord::FileName),
                        storedName(record, ThumbRecord::ArchiveFileName)),
                    m_records.size());
    m_records.push_back(std::move(record));
    m_spooled.emplace_back();
    m_held += m_records.back().jpegData().size();
    keep(m_records.size() - 1);
}

void ThumbCacheFile::keep(std::size_t at) {
    ThumbRecord& record = m_records[at];
    const auto data = record.jpegData();
    if (m_held <= m_heldLimit || data.empty() || m_spoolFailed)
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
    const std::int64_t offset = m_spool.append(data);
    if (offset < 0)
        return;
    m_spooled[at] = {offset, static_cast<std::uint32_t>(data.size())};
    m_held -= data.size();
    record.releaseJpegData();
}

void ThumbCacheFile::forgetData(std::size_t at) {
    if (m_spooled[at].offset < 0)
        m_held -= m_records[at].jpegData().size();
    m_spooled[at] = {};
}

const ThumbRecord* ThumbCacheFile::find(std::string_view fileName,
                                        std::string_view archiveFileName) const {
    const std::size_t at = indexOf(fileName, archiveFileName);
    return at < m_records.size() ? &m_records[at] : nullptr;
}

std::vector<std::byte> ThumbCacheFile::jpegData(const ThumbRecord& record) const {
    const auto at = static_cast<std::size_t>(&record - m_records.data());
    if (at < m_spooled.size() && &m_records[at] == &record && m_spooled[at].offset >= 0) {
        std::vector<std::byte> data;
        if (!m_spool.read(m_spooled[at].offset, m_spooled[at].size, data))
            data.clear();
        return data;
    }
    const auto data = record.jpegData();
    return {data.begin(), data.end()};
}

void ThumbCacheFile::put(ThumbRecord record) {
    const std::size_t at = indexOf(storedName(record, ThumbRecord::FileName),
                                   storedName(record, ThumbRecord::ArchiveFileName));
    m_changed = true;
    if (at == m_records.size()) {
        add(std::move(record));
        return;
    }
    forgetData(at);
    m_records[at] = std::move(record);
    m_held += m_records[at].jpegData().size();
    keep(at);
}

bool ThumbCacheFile::erase(std::string_view fileName, std::string_view archiveFileName) {
    const std::size_t at = indexOf(fileName, archiveFileName);
    if (at == m_records.size())
        return false;
    forgetData(at);
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(at));
    m_spooled.erase(m_spooled.begin() + static_cast<std::ptrdiff_t>(at));
    rebuildIndex();
    m_changed = true;
    return true;
}

bool ThumbCacheFile::write() {
    if (m_records.empty()) {
        std::remove(m_path.c_str());
        m_changed = false;
        return true;
    }
    if (!m_changed)
        return true;
    AtomicFile file(m_path);
    bool ok = file.open();
    std::vector<std::byte> data;
    for (std::size_t i = 0; ok && i < m_records.size(); ++i) {
        ok = file.write(m_records[i].bytes());
        if (ok && m_spooled[i].offset >= 0) {
            // A thumbnail the scratch file cannot give back leaves the file
            // as it was rather than a record without its data.
            ok = m_spool.read(m_spooled[i].offset, m_spooled[i].size, data) && file.write(data);
        }
    }
    // A failed write leaves the previous file whole; its records still
    // check themselves against each picture, so nothing wrong is shown.
    if (!ok || !file.commit())
        return false;
    m_changed = false;
    return true;
}

} // namespace vemra
