#include "document/thumb_record.h"

#include "document/picture_source.h"
#include "platform/endian.h"
#include "platform/text_encoding.h"

#include <algorithm>
#include <cstring>

namespace vemra {
namespace {

// Shift-JIS face names and file names from older writers, UTF-8 from ours.
std::string fieldText(const std::byte* p, std::size_t size) {
    const char* chars = reinterpret_cast<const char*>(p);
    const std::size_t length = strnlen(chars, size);
    return toUtf8(std::string_view(chars, length));
}

// Records made on Windows hold full paths with "\"; ours never hold a path.
std::string lastComponent(const std::string& name) {
    const auto cut = name.find_last_of("\\/");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

void putText(std::byte* p, std::size_t size, std::string_view value) {
    if (size == 0)
        return;
    std::memset(p, 0, size);
    const std::string_view fitted = utf8Prefix(value, size - 1);
    std::memcpy(p, fitted.data(), fitted.size());
}

// Character set and quality bytes of the caption font as the Windows
// program's font dialog recorded them: Shift-JIS character set, default
// precisions and quality.
constexpr std::uint8_t kShiftJisCharset = 128;

} // namespace

ThumbRecord::ThumbRecord() : m_bytes(kHeaderSize) {
    setU32(HeaderSize, kHeaderSize);
}

std::size_t ThumbRecord::fieldSize(Offset field) {
    const std::size_t size = field == PictureDecoder || field == ArchiveDecoder ? kDecoderField
                             : field == Camera                                  ? kCameraField
                                                                                : kNameField;
    // Never past the header, whatever field a caller names.
    return std::min(size, kHeaderSize - std::min<std::size_t>(field, kHeaderSize));
}

ThumbRecord ThumbRecord::fromStored(std::span<const std::byte> header,
                                    std::vector<std::byte> jpegData) {
    ThumbRecord record;
    record.setU32(NameFrame, 1);
    record.setU32(ScaleMode, 0);
    if (!header.empty())
        std::memcpy(record.m_bytes.data(), header.data(), std::min(header.size(), kHeaderSize));
    record.setU32(HeaderSize, kHeaderSize);
    record.setJpegData(jpegData);
    record.setText(FileName, lastComponent(record.text(FileName)));
    record.setText(ArchiveFileName, lastComponent(record.text(ArchiveFileName)));
    record.setText(PictureDecoder, record.text(PictureDecoder));
    record.setText(ArchiveDecoder, record.text(ArchiveDecoder));
    record.setText(Camera, record.text(Camera));
    const std::string face = record.fontFaceName();
    putText(record.m_bytes.data() + kFontOffset + kFontSize - kFaceField, kFaceField, face);
    return record;
}

std::optional<ThumbRecord> ThumbRecord::fromBytes(std::vector<std::byte> bytes) {
    if (bytes.size() < kHeaderSize ||
        loadU32(bytes.data() + DataSize) != bytes.size() - kHeaderSize)
        return std::nullopt;
    ThumbRecord record;
    record.m_bytes = std::move(bytes);
    return record;
}

std::span<const std::byte> ThumbRecord::jpegData() const {
    return std::span<const std::byte>(m_bytes).subspan(kHeaderSize);
}

void ThumbRecord::setJpegData(std::span<const std::byte> data) {
    m_bytes.resize(kHeaderSize + data.size());
    if (!data.empty())
        std::memcpy(m_bytes.data() + kHeaderSize, data.data(), data.size());
    setU32(DataSize, static_cast<std::uint32_t>(data.size()));
}

std::uint32_t ThumbRecord::u32(Offset field) const {
    return loadU32(m_bytes.data() + field);
}

void ThumbRecord::setU32(Offset field, std::uint32_t value) {
    storeU32(m_bytes.data() + field, value);
}

std::string ThumbRecord::text(Offset field) const {
    return fieldText(m_bytes.data() + field, fieldSize(field));
}

void ThumbRecord::setText(Offset field, std::string_view value) {
    putText(m_bytes.data() + field, fieldSize(field), value);
}

bool ThumbRecord::hasNames(std::string_view fileName, std::string_view archiveFileName) const {
    const auto fieldIs = [this](Offset field, std::string_view wanted) {
        const char* chars = reinterpret_cast<const char*>(m_bytes.data() + field);
        return std::string_view(chars, strnlen(chars, kNameField)) == wanted;
    };
    return fieldIs(FileName, fileName) && fieldIs(ArchiveFileName, archiveFileName);
}

void ThumbRecord::setFont(const EntryAppearance& font) {
    std::byte* p = m_bytes.data() + kFontOffset;
    std::memset(p, 0, kFontSize);
    storeI32(p + 0, font.fontHeight);
    storeI32(p + 4, font.fontWidth);
    storeI32(p + 16, font.fontWeight);
    p[20] = std::byte{font.fontItalic ? std::uint8_t{1} : std::uint8_t{0}};
    p[23] = std::byte{kShiftJisCharset};
    putText(p + kFontSize - kFaceField, kFaceField, font.fontFaceName);
}

std::string ThumbRecord::fontFaceName() const {
    return fieldText(m_bytes.data() + kFontOffset + kFontSize - kFaceField, kFaceField);
}

} // namespace vemra
