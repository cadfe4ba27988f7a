#include "imaging/host_protocol.h"

#include <cstring>

namespace vemra::host {

MessageWriter::MessageWriter(Message type) {
    u32(static_cast<std::uint32_t>(type));
}

void MessageWriter::u32(std::uint32_t value) {
    const auto* p = reinterpret_cast<const std::byte*>(&value);
    m_bytes.insert(m_bytes.end(), p, p + sizeof value);
}

void MessageWriter::u64(std::uint64_t value) {
    const auto* p = reinterpret_cast<const std::byte*>(&value);
    m_bytes.insert(m_bytes.end(), p, p + sizeof value);
}

void MessageWriter::text(std::string_view value) {
    bytes(std::as_bytes(std::span(value.data(), value.size())));
}

void MessageWriter::bytes(std::span<const std::byte> value) {
    u32(static_cast<std::uint32_t>(value.size()));
    m_bytes.insert(m_bytes.end(), value.begin(), value.end());
}

MessageReader::MessageReader(std::span<const std::byte> message) : m_bytes(message) {
    std::uint32_t type = 0;
    if (u32(type)) {
        m_type = static_cast<Message>(type);
    }
}

bool MessageReader::take(void* out, std::size_t size) {
    if (!m_ok || m_bytes.size() - m_at < size) {
        m_ok = false;
        return false;
    }
    std::memcpy(out, m_bytes.data() + m_at, size);
    m_at += size;
    return true;
}

bool MessageReader::u32(std::uint32_t& value) {
    return take(&value, sizeof value);
}

bool MessageReader::i32(std::int32_t& value) {
    return take(&value, sizeof value);
}

bool MessageReader::u64(std::uint64_t& value) {
    return take(&value, sizeof value);
}

bool MessageReader::i64(std::int64_t& value) {
    return take(&value, sizeof value);
}

bool MessageReader::text(std::string& value, std::size_t maxBytes) {
    std::uint32_t size = 0;
    if (!u32(size) || size > maxBytes || m_bytes.size() - m_at < size) {
        m_ok = false;
        return false;
    }
    value.assign(reinterpret_cast<const char*>(m_bytes.data() + m_at), size);
    m_at += size;
    return true;
}

bool MessageReader::bytes(std::vector<std::byte>& value, std::size_t maxBytes) {
    std::uint32_t size = 0;
    if (!u32(size) || size > maxBytes || m_bytes.size() - m_at < size) {
        m_ok = false;
        return false;
    }
    value.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at),
                 m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at + size));
    m_at += size;
    return true;
}

bool readLoaded(MessageReader& reader, LoadedReply& out) {
    out = {};
    std::uint32_t config = 0;
    std::uint32_t count = 0;
    if (reader.type() != Message::Loaded || !reader.u32(config) || config > 1 ||
        !reader.u32(count) || count > kMaxInformation) {
        return false;
    }
    out.hasConfigurationDialog = config != 0;
    out.information.resize(count);
    for (std::string& entry : out.information) {
        if (!reader.text(entry, PluginModule::kInfoBufferBytes) ||
            entry.find('\0') != std::string::npos) {
            return false;
        }
    }
    return reader.complete();
}

void writeFault(MessageWriter& writer, const FaultReport& report, FaultPhase phase,
                std::uint32_t index) {
    writer.u32(static_cast<std::uint32_t>(phase));
    writer.u32(index);
    writer.u32(static_cast<std::uint32_t>(report.kind));
    writer.u32(report.code);
    writer.u64(report.address);
    writer.u64(report.accessAddress);
    writer.u32(report.write ? 1 : 0);
}

bool readFault(MessageReader& reader, FaultReport& out, FaultPhase& phase, std::uint32_t& index) {
    std::uint32_t where = 0;
    std::uint32_t kind = 0;
    std::uint32_t code = 0;
    std::uint64_t address = 0;
    std::uint64_t access = 0;
    std::uint32_t write = 0;
    if (reader.type() != Message::Fault || !reader.u32(where) || where > 2 || !reader.u32(index) ||
        !reader.u32(kind) || !reader.u32(code) || !reader.u64(address) || !reader.u64(access) ||
        !reader.u32(write) || write > 1 || !reader.complete() || kind == 0 ||
        kind > static_cast<std::uint32_t>(kLastFaultKind)) {
        return false;
    }
    // The code follows from the kind; the host's own word is not needed.
    phase = static_cast<FaultPhase>(where);
    out.kind = static_cast<FaultKind>(kind);
    out.code = faultCode(out.kind);
    out.address = static_cast<std::uintptr_t>(address);
    out.accessAddress = static_cast<std::uintptr_t>(access);
    out.write = write != 0;
    return true;
}

void writeInfoAnswer(MessageWriter& writer, int code, const PluginPictureInfo& info) {
    writer.i32(code);
    for (const int value : {info.left, info.top, info.width, info.height, info.xDensity,
                            info.yDensity, info.bitCount}) {
        writer.i32(value);
    }
    writer.text(std::string_view(info.comment).substr(0, kMaxTextBytes));
}

bool readInfoAnswer(MessageReader& reader, int& code, PluginPictureInfo& out) {
    out = {};
    std::int32_t values[8] = {};
    if (reader.type() != Message::Answer) {
        return false;
    }
    for (std::int32_t& value : values) {
        reader.i32(value);
    }
    reader.text(out.comment);
    if (!reader.complete()) {
        out = {};
        return false;
    }
    code = values[0];
    out.left = values[1];
    out.top = values[2];
    out.width = values[3];
    out.height = values[4];
    // The densities and the depth are 16-bit fields of the plug-in's record.
    out.xDensity = values[5] & 0xFFFF;
    out.yDensity = values[6] & 0xFFFF;
    out.bitCount = static_cast<std::int16_t>(values[7]);
    // A comment is text up to its first NUL, as the in-process reader takes it.
    if (const auto nul = out.comment.find('\0'); nul != std::string::npos) {
        out.comment.erase(nul);
    }
    return true;
}

bool readSizedAnswer(MessageReader& reader, int& code, std::uint64_t& bytes) {
    std::int32_t value = 0;
    if (reader.type() != Message::Answer || !reader.i32(value) || !reader.u64(bytes) ||
        !reader.complete()) {
        return false;
    }
    code = value;
    return true;
}

void writePictureInPlace(MessageWriter& writer, const PictureInPlace& picture) {
    writer.i32(0);
    writer.u64(picture.total);
    writer.bytes(picture.head);
    writer.u64(picture.pixelAddress);
    writer.u64(picture.pixelBytes);
}

bool readPictureInPlace(MessageReader& reader, int& code, PictureInPlace& out,
                        std::uint64_t maxBytes) {
    std::int32_t value = 0;
    if (reader.type() != Message::Answer || !reader.i32(value) || value != 0 ||
        !reader.u64(out.total) || !reader.bytes(out.head, kMaxPictureHead) ||
        !reader.u64(out.pixelAddress) || !reader.u64(out.pixelBytes) || !reader.complete()) {
        return false;
    }
    code = value;
    return out.total <= maxBytes && out.head.size() <= out.total &&
           out.pixelBytes <= out.total - out.head.size();
}

bool readCodeAnswer(MessageReader& reader, int& code) {
    std::int32_t value = 0;
    if (reader.type() != Message::Answer || !reader.i32(value) || !reader.complete()) {
        return false;
    }
    code = value;
    return true;
}

bool readProgress(MessageReader& reader, int& done, int& total) {
    std::int32_t a = 0;
    std::int32_t b = 0;
    if (reader.type() != Message::Progress || !reader.i32(a) || !reader.i32(b) ||
        !reader.complete()) {
        return false;
    }
    done = a;
    total = b;
    return true;
}

} // namespace vemra::host
