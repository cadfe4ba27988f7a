#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

struct EntryAppearance;

// One record of a thumbnail-cache file: a 752-byte header that says what the
// thumbnail was made from, followed by the thumbnail as JPEG data. The first
// 680 bytes are the fields every writer of the format knows; ours adds what
// the picture's metadata told (orientation, date taken, camera) behind them,
// and records of older writers, without those, read with them zeroed. The bytes
// are kept as one block exactly as they are written; the accessors read and
// write the fields in place. Integers are 32-bit little-endian; texts are
// NUL-terminated in fixed fields, written as UTF-8 (records of older writers
// hold Shift-JIS and are converted when loaded).
class ThumbRecord {
public:
    static constexpr std::size_t kHeaderSize = 752;
    // The header as writers before the metadata fields made it.
    static constexpr std::size_t kPlainHeaderSize = 680;
    static constexpr std::size_t kCameraField = 64;
    // Photo field: 0 in records made without reading the metadata; else
    // kPhotoRead, the orientation (1-8) in the low four bits and
    // kPhotoUpright when the thumbnail was made upright.
    static constexpr std::uint32_t kPhotoRead = 0x100;
    static constexpr std::uint32_t kPhotoUpright = 0x200;
    static constexpr std::size_t kNameField = 260;
    static constexpr std::size_t kDecoderField = 16;
    static constexpr std::size_t kFontOffset = 600;
    static constexpr std::size_t kFontSize = 60;
    static constexpr std::size_t kFaceField = 32;

    // Field offsets of the header.
    enum Offset : std::size_t {
        HeaderSize = 0,
        DataSize = 4,
        Length = 8,
        LastWriteTime = 12,
        FileName = 16,
        MemberPosition = 276,
        DrawnCellWidth = 280,
        DrawnCellHeight = 284,
        BoxWidth = 288,
        BoxHeight = 292,
        PictureWidth = 296,
        PictureHeight = 300,
        BitCount = 304,
        PictureDecoder = 308,
        ArchiveFileName = 324,
        ArchiveDecoder = 584,
        Font = 600,
        Frame = 660,
        Name = 664,
        NameFrame = 668,
        ScaleMode = 672,
        Unsharp = 676,
        Photo = 680,
        DateTaken = 684,
        Camera = 688,
    };

    // A record with a zeroed header (header size set) and no data.
    ThumbRecord();

    // A record read from a file: `header` is what the file held in place of
    // the header (possibly shorter, as older writers made it; a longer one is
    // cut). The missing fields get the values those writers meant: NameFrame
    // 1, ScaleMode 0. Texts are converted to UTF-8 and names cut to their
    // last path component.
    static ThumbRecord fromStored(std::span<const std::byte> header,
                                  std::vector<std::byte> jpegData);

    // A record from what bytes() gave of another, taken as they are; none
    // when they are not a whole header and the thumbnail it announces.
    static std::optional<ThumbRecord> fromBytes(std::vector<std::byte> bytes);

    std::span<const std::byte> bytes() const { return m_bytes; }
    std::span<const std::byte> jpegData() const;
    void setJpegData(std::span<const std::byte> data);

    std::uint32_t u32(Offset field) const;
    std::int32_t i32(Offset field) const { return static_cast<std::int32_t>(u32(field)); }
    void setU32(Offset field, std::uint32_t value);
    void setI32(Offset field, std::int32_t value) {
        setU32(field, static_cast<std::uint32_t>(value));
    }

    // A text field; `field` is one of FileName, PictureDecoder,
    // ArchiveFileName, ArchiveDecoder, Camera.
    std::string text(Offset field) const;
    // Writes `value` cut to fit the field with its NUL, never inside a
    // character.
    void setText(Offset field, std::string_view value);

    // The colour target the thumbnail was made for (see colourMarkOf; 0:
    // unmanaged, as every record of older writers), kept in the upper half
    // of the Frame field, whose flag is the low bit.
    std::uint16_t colourMark() const { return static_cast<std::uint16_t>(u32(Frame) >> 16); }
    void setColourMark(std::uint16_t mark) {
        setU32(Frame, (u32(Frame) & 0xFFFF) | std::uint32_t{mark} << 16);
    }

    std::string fileName() const { return text(FileName); }
    // Whether the record is the one of (fileName, archiveFileName), compared
    // exactly and without copying, as every look-up runs through all records.
    bool hasNames(std::string_view fileName, std::string_view archiveFileName) const;
    std::string archiveFileName() const { return text(ArchiveFileName); }

    // The 60-byte logical-font record: height, width, escapement,
    // orientation, weight (32 bits each), eight single bytes (italic,
    // underline, strike-out, character set, precisions, quality, pitch and
    // family) and a 32-byte face name.
    void setFont(const EntryAppearance& font);
    std::string fontFaceName() const;

private:
    static std::size_t fieldSize(Offset field);

    std::vector<std::byte> m_bytes;
};

} // namespace vemra
