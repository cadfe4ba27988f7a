#include "document/thumb_cache.h"

#include "document/picture_source.h"
#include "document/scan_services.h"
#include "document/store_location.h"
#include "imaging/decoder.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_convert.h"

#include <algorithm>
#include <ctime>

namespace vemra {
namespace {

// The stored thumbnail as a 24-bit picture; null when it does not decode.
PictureBuffer decodeThumbnail(std::span<const std::byte> jpeg) {
    const BuiltinDecoder* decoder = findBuiltinDecoder(kJpegDecoderId);
    if (decoder == nullptr || jpeg.empty())
        return {};
    PictureBuffer picture;
    const int rc =
        decoder->picture(reinterpret_cast<const char*>(jpeg.data()),
                         static_cast<std::intptr_t>(jpeg.size()), 1, picture, DecodeOptions{});
    if (rc != 0 || !picture.isValid() || !convertTo24Bits(picture))
        return {};
    return picture;
}

DecoderId pictureDecoderOf(const ThumbRecord& record, const ScanServices& services) {
    const std::string name = record.text(ThumbRecord::PictureDecoder);
    return name.empty() ? kNoDecoder : services.pictureDecoderNamed(name);
}

DecoderId archiveDecoderOf(const ThumbRecord& record, const ScanServices& services) {
    const std::string name = record.text(ThumbRecord::ArchiveDecoder);
    return name.empty() ? kNoDecoder : services.archiveDecoderNamed(name);
}

bool isValidFor(const ThumbRecord& record, const PictureSource& entry, DecoderId picture,
                DecoderId archive) {
    const std::uint32_t recorded = record.u32(ThumbRecord::LastWriteTime);
    const bool sameTime =
        recorded == static_cast<std::uint32_t>(entry.lastWriteTime) ||
        (entry.lastWriteTime > 0 && isOtherTimeConvention(recorded, entry.lastWriteTime));
    return sameTime &&
           record.u32(ThumbRecord::Length) == static_cast<std::uint32_t>(entry.length) &&
           record.i32(ThumbRecord::MemberPosition) == entry.memberPosition &&
           // Made before pictures were shown upright: made again once.
           (record.u32(ThumbRecord::Photo) & ThumbRecord::kPhotoRead) != 0 &&
           // Made for another display, or before colours were managed.
           record.colourMark() == colourMarkOf(entry.drawing.colour) &&
           (archive != kNoDecoder || picture != kNoDecoder);
}

ThumbRecord recordOf(const PictureSource& entry, const ScanServices& services,
                     std::span<const std::byte> jpeg) {
    ThumbRecord r;
    r.setJpegData(jpeg);
    // The fields are 32 bits wide; larger lengths are kept modulo 2^32 and
    // compared the same way.
    r.setU32(ThumbRecord::Length, static_cast<std::uint32_t>(entry.length));
    r.setU32(ThumbRecord::LastWriteTime, static_cast<std::uint32_t>(entry.lastWriteTime));
    r.setText(ThumbRecord::FileName, entry.fileName);
    r.setI32(ThumbRecord::MemberPosition, entry.memberPosition);
    r.setI32(ThumbRecord::DrawnCellWidth, entry.drawnCellWidth);
    r.setI32(ThumbRecord::DrawnCellHeight, entry.drawnCellHeight);
    r.setI32(ThumbRecord::BoxWidth, entry.boxWidth);
    r.setI32(ThumbRecord::BoxHeight, entry.boxHeight);
    r.setI32(ThumbRecord::PictureWidth, entry.pictureWidth);
    r.setI32(ThumbRecord::PictureHeight, entry.pictureHeight);
    r.setI32(ThumbRecord::BitCount, entry.bitCount);
    r.setText(ThumbRecord::PictureDecoder, services.pictureDecoderLabel(entry.decoder));
    if (entry.isArchiveMember()) {
        r.setText(ThumbRecord::ArchiveFileName, entry.archiveFileName);
        r.setText(ThumbRecord::ArchiveDecoder, services.archiveDecoderLabel(entry.archiveDecoder));
    }
    r.setFont(*entry.appearance);
    r.setU32(ThumbRecord::Frame, entry.drawing.frame ? 1 : 0);
    r.setU32(ThumbRecord::Name, entry.drawing.name ? 1 : 0);
    r.setU32(ThumbRecord::NameFrame, entry.drawing.nameFrame ? 1 : 0);
    r.setI32(ThumbRecord::ScaleMode, entry.scaleModeUsed);
    r.setU32(ThumbRecord::Unsharp, entry.unsharpUsed ? 1 : 0);
    if (entry.orientation >= 1 && entry.orientation <= 8) {
        r.setU32(ThumbRecord::Photo, ThumbRecord::kPhotoRead |
                                         static_cast<std::uint32_t>(entry.orientation) |
                                         (entry.autoRotateUsed ? ThumbRecord::kPhotoUpright : 0));
        // The 32-bit time convention of the other fields: 1970 to 2106.
        if (entry.dateTaken > 0 && entry.dateTaken <= 0xFFFFFFFF)
            r.setU32(ThumbRecord::DateTaken, static_cast<std::uint32_t>(entry.dateTaken));
        r.setText(ThumbRecord::Camera, entry.cameraModel);
    }
    r.setColourMark(entry.colourMarkUsed);
    return r;
}

} // namespace

bool isOtherTimeConvention(std::uint32_t recorded, std::int64_t actual) {
    const auto seconds = static_cast<std::time_t>(actual);
    std::tm fields{};
    if (gmtime_r(&seconds, &fields) == nullptr)
        return false;
    fields.tm_isdst = -1;
    const std::time_t local = std::mktime(&fields);
    return local != static_cast<std::time_t>(-1) && recorded == static_cast<std::uint32_t>(local);
}

ThumbCacheFile* ThumbCache::findOpen(std::string_view folder) {
    for (const auto& file : m_files) {
        if (file->folder() == folder)
            return file.get();
    }
    return nullptr;
}

ThumbCacheFile& ThumbCache::findOrOpen(std::string_view folder) {
    if (ThumbCacheFile* open = findOpen(folder))
        return *open;
    auto file = std::make_unique<ThumbCacheFile>(
        std::string(folder), locateStoreFile(folder, m_centralFolder, kThumbStore));
    file->load();
    m_files.push_back(std::move(file));
    return *m_files.back();
}

bool ThumbCache::lookUp(PictureSource& entry, const ScanServices& services) {
    entry.cacheTried = true;
    const ThumbCacheFile& file = findOrOpen(entry.folder);
    const std::optional<ThumbRecord> record = file.find(entry.fileName, entry.archiveFileName);
    if (!record)
        return false;
    const DecoderId picture = pictureDecoderOf(*record, services);
    const DecoderId archive = archiveDecoderOf(*record, services);
    if (!isValidFor(*record, entry, picture, archive))
        return false;
    // Decoded before anything is taken over, so a damaged thumbnail leaves
    // the entry as it was.
    PictureBuffer thumbnail = decodeThumbnail(record->jpegData());
    if (!thumbnail)
        return false;

    entry.pictureWidth = record->i32(ThumbRecord::PictureWidth);
    entry.pictureHeight = record->i32(ThumbRecord::PictureHeight);
    entry.bitCount = record->i32(ThumbRecord::BitCount);
    entry.boxWidth = record->i32(ThumbRecord::BoxWidth);
    entry.boxHeight = record->i32(ThumbRecord::BoxHeight);
    entry.drawnCellWidth = record->i32(ThumbRecord::DrawnCellWidth);
    entry.drawnCellHeight = record->i32(ThumbRecord::DrawnCellHeight);
    entry.decoder = picture;
    entry.cellPicture = {};
    entry.drawing.scaleMode = record->i32(ThumbRecord::ScaleMode);
    entry.scaleModeUsed = entry.drawing.scaleMode;
    entry.drawing.unsharp = record->u32(ThumbRecord::Unsharp) != 0;
    entry.unsharpUsed = entry.drawing.unsharp;
    const std::uint32_t photo = record->u32(ThumbRecord::Photo);
    entry.orientation = std::clamp(static_cast<int>(photo & 0xF), 1, 8);
    entry.autoRotateUsed = (photo & ThumbRecord::kPhotoUpright) != 0;
    entry.dateTaken = record->u32(ThumbRecord::DateTaken);
    entry.cameraModel = record->text(ThumbRecord::Camera);
    entry.colourMarkUsed = record->colourMark();
    entry.thumbnail = std::move(thumbnail);
    entry.cached = true;
    return true;
}

bool ThumbCache::store(PictureSource& entry, const ScanServices& services) {
    if (!entry.thumbnail || entry.cached)
        return false;
    JpegOptions options;
    options.quality = kJpegQuality;
    std::vector<std::byte> jpeg;
    jpeg.reserve(entry.thumbnail.blockSize() + 1024);
    if (!encodeJpeg(entry.thumbnail, options, jpeg))
        return false;
    findOrOpen(entry.folder).put(recordOf(entry, services, jpeg));
    entry.cached = true;
    return true;
}

void ThumbCache::remove(PictureSource& entry) {
    if (ThumbCacheFile* file = findOpen(entry.folder))
        file->erase(entry.fileName, entry.archiveFileName);
    entry.cached = false;
}

bool ThumbCache::writeAll() {
    bool ok = true;
    for (const auto& file : m_files)
        ok = file->write() && ok;
    return ok;
}

} // namespace vemra
