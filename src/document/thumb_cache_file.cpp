#include "document/thumb_cache_file.h"

#include "platform/atomic_file.h"
#include "platform/endian.h"
#include "platform/file_status.h"

#include <cstdio>
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
        m_records.push_back(ThumbRecord::fromStored(header, std::move(data)));
    }
    return true;
}

std::vector<ThumbRecord>::iterator ThumbCacheFile::findRecord(std::string_view fileName,
                                                              std::string_view archiveFileName) {
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->hasNames(fileName, archiveFileName))
            return it;
    }
    return m_records.end();
}

const ThumbRecord* ThumbCacheFile::find(std::string_view fileName,
                                        std::string_view archiveFileName) const {
    for (const ThumbRecord& record : m_records) {
        if (record.hasNames(fileName, archiveFileName))
            return &record;
    }
    return nullptr;
}

void ThumbCacheFile::put(ThumbRecord record) {
    auto it =
        findRecord(record.text(ThumbRecord::FileName), record.text(ThumbRecord::ArchiveFileName));
    if (it != m_records.end())
        *it = std::move(record);
    else
        m_records.push_back(std::move(record));
    m_changed = true;
}

bool ThumbCacheFile::erase(std::string_view fileName, std::string_view archiveFileName) {
    auto it = findRecord(fileName, archiveFileName);
    if (it == m_records.end())
        return false;
    m_records.erase(it);
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
    for (const ThumbRecord& record : m_records) {
        if (!ok)
            break;
        ok = file.write(record.bytes());
    }
    // A failed write leaves the previous file whole; its records still
    // check themselves against each picture, so nothing wrong is shown.
    if (!ok || !file.commit())
        return false;
    m_changed = false;
    return true;
}

} // namespace vemra
