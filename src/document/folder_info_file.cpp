#include "document/folder_info_file.h"

#include "document/document_options.h"
#include "document/ini_store.h"
#include "document/photo_facts.h"
#include "document/scan_services.h"
#include "imaging/bmp_file.h"
#include "imaging/colour_management.h"
#include "imaging/photo_metadata.h"
#include "imaging/picture_convert.h"
#include "platform/byte_source.h"
#include "platform/endian.h"
#include "platform/file_status.h"

#include <algorithm>
#include <charconv>

namespace vemra {
namespace {

constexpr std::string_view kDocument = "Document";

std::string inFolder(const std::string& folder, std::string_view name) {
    std::string path = folder;
    path += '/';
    path += name;
    return path;
}

// The section numbers 1..maxCount that the file really holds, in order. A
// damaged or hostile MaxCount cannot make the reader spin through billions
// of absent sections.
std::vector<int> numberedSections(const IniStore& store, int maxCount) {
    std::vector<int> numbers;
    for (const auto& section : store.sections()) {
        const std::string& name = section.name;
        if (name.empty() || name.front() == '0' || name.size() > 10)
            continue;
        int value = 0;
        auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), value);
        if (ec != std::errc{} || end != name.data() + name.size() || value < 1 || value > maxCount)
            continue;
        numbers.push_back(value);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool readBytes(const ByteSource& data, std::int64_t offset, std::uint64_t count,
               std::vector<std::byte>& out) {
    if (offset < 0 || count == 0 || count > FolderInfoFile::kMaxThumbnailBytes)
        return false;
    const auto start = static_cast<std::uint64_t>(offset);
    if (start > data.size() || count > data.size() - start)
        return false;
    out.resize(static_cast<std::size_t>(count));
    return data.readAt(start, out);
}

// Version 1: a whole bitmap file image at `offset` ("BM", total size at byte
// 2, pixel offset at byte 10, then a 40- or 12-byte information header).
PictureBuffer readBitmapThumbnail(const ByteSource& data, std::int64_t offset) {
    std::vector<std::byte> header;
    if (!readBytes(data, offset, 14, header))
        return {};
    if (header[0] != std::byte{'B'} || header[1] != std::byte{'M'})
        return {};
    const std::uint32_t total = loadU32(header.data() + 2);
    std::vector<std::byte> image;
    if (total <= 14 + 12 || !readBytes(data, offset, total, image))
        return {};
    const std::uint32_t infoSize = loadU32(image.data() + 14);
    if (infoSize != 40 && infoSize != 12)
        return {};
    ReadResult result = readBmp(MemorySource(image));
    return result ? std::move(result.picture) : PictureBuffer{};
}

// Version 2: `size` bytes of JPEG data, as a 24-bit picture.
PictureBuffer readJpegThumbnail(const ByteSource& data, std::int64_t offset, std::int64_t size) {
    std::vector<std::byte> bytes;
    if (size <= 0 || !readBytes(data, offset, static_cast<std::uint64_t>(size), bytes))
        return {};
    const BuiltinDecoder* jpeg = findBuiltinDecoder(kJpegDecoderId);
    if (!jpeg)
        return {};
    PictureBuffer picture;
    const int rc =
        jpeg->picture(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::intptr_t>(bytes.size()), 1, picture, DecodeOptions{});
    if (rc != 0 || !picture.isValid())
        return {};
    if (!convertTo24Bits(picture))
        return {};
    return picture;
}

// A thumbnail another program stored was made from the picture's rows as
// they are stored: never turned upright nor converted to a display's
// colours, at a scaling of that program's own. It is brought to what this
// program makes instead of being thrown away (then every visit would decode
// the folder again, and the file would be of no use): turned upright and
// converted to the display's colours after one metadata read, no decode,
// and taken as made with the present options. A member of an archive has
// its metadata inside the archive, which is not opened here: with either
// option on its thumbnail is made anew, as before.
void adoptStoredThumbnail(PictureSource& entry) {
    const EntryDrawingOptions& drawing = entry.drawing;
    const bool needsMetadata = drawing.autoRotate || drawing.colour;
    if (needsMetadata && entry.isArchiveMember())
        return;
    if (needsMetadata) {
        PhotoMetadataRequest request;
        request.iccProfile = drawing.colour != nullptr;
        const PhotoMetadata metadata = readPhotoMetadata(entry.fullPath(), request);
        learnPhotoFacts(entry, metadata);
        entry.thumbnail = orientedForEntry(std::move(entry.thumbnail), entry);
        if (!entry.thumbnail)
            return;
        if (drawing.colour)
            convertToDisplay(entry.thumbnail, metadata.iccProfile, *drawing.colour);
    }
    entry.scaleModeUsed = drawing.scaleMode;
    entry.unsharpUsed = drawing.unsharp;
    entry.autoRotateUsed = drawing.autoRotate;
    entry.colourMarkUsed = colourMarkOf(drawing.colour);
}

} // namespace

FolderInfoFile::Result FolderInfoFile::read(const Request& request, const ScanServices& services,
                                            ProgressSink* progress) {
    Result result;
    if (progress)
        progress->begin(kCaption, kAccessMessage, 0);
    IniStore store;
    if (!store.open(inFolder(request.folder, kFileName), 0)) {
        if (progress)
            progress->end();
        return result;
    }
    result.loaded = true;

    const int maxCount = store.integer(kDocument, "MaxCount");
    const int version = store.integer(kDocument, "DataVersion");
    const IntPair docSize = store.pair(kDocument, "DocSize");
    // Raised to the limit size, and kept sane whatever the file says.
    auto side = [](int stored, int limit) {
        return std::min(std::max(stored, limit), DocumentOptions::kMaxThumbnailSide);
    };
    result.thumbnailSize = IntPair{side(docSize.first, request.thumbsLimitSize.first),
                                   side(docSize.second, request.thumbsLimitSize.second)};
    result.thumbsFile = store.field(kDocument, "ThumbsFile").text;

    std::optional<FileSource> data;
    if (!result.thumbsFile.empty() && result.thumbsFile.find('/') == std::string::npos)
        data = FileSource::open(inFolder(request.folder, result.thumbsFile));

    const std::vector<int> numbers = numberedSections(store, maxCount);
    if (progress)
        progress->begin(kCaption, kAccessMessage, static_cast<int>(numbers.size()));
    for (int number : numbers) {
        if (progress && progress->cancelRequested()) {
            result.cancelled = true;
            break;
        }
        const std::string section = std::to_string(number);
        const std::string fileName = store.field(section, "FileName").text;
        if (progress)
            progress->setMessage(fileName);
        const DecoderId decoder =
            services.pictureDecoderNamed(store.field(section, "SPIName").text);
        const std::string archiveSpi = store.field(section, "ArchiveSPIName").text;
        const DecoderId archiveDecoder =
            archiveSpi.empty() ? kNoDecoder : services.archiveDecoderNamed(archiveSpi);
        const std::int64_t lastWrite = store.integer64(section, "LastWriteTime");
        std::string archiveFileName;

        bool skip = decoder == kNoDecoder || fileName.empty();
        bool timeMatches = true;
        if (!skip && archiveDecoder == kNoDecoder) {
            auto status = fileStatus(inFolder(request.folder, fileName));
            if (!status || !status->isFile || fileName.find('/') != std::string::npos)
                skip = true;
            else
                timeMatches = status->lastWriteTime == lastWrite;
        } else if (!skip) {
            archiveFileName = store.field(section, "ArchiveFileName").text;
            auto status = fileStatus(inFolder(request.folder, archiveFileName));
            skip = !request.archiveOption || archiveFileName.empty() ||
                   archiveFileName.find('/') != std::string::npos || !status || !status->isFile ||
                   status->lastWriteTime != store.integer64(section, "ArchiveLastWriteTime");
        }
        if (skip) {
            if (progress)
                progress->advance();
            continue;
        }

        auto entry = std::make_unique<PictureSource>(request.prototype);
        entry->decoder = decoder;
        entry->folder = request.folder;
        entry->fileName = fileName;
        entry->length = static_cast<std::uint64_t>(
            std::max<std::int64_t>(0, store.integer64(section, "Length")));
        entry->creationTime = store.integer64(section, "CreateTime");
        entry->lastWriteTime = lastWrite;
        entry->pictureWidth = store.integer(section, "Width");
        entry->pictureHeight = store.integer(section, "Height");
        entry->bitCount = store.integer(section, "BitCount");
        entry->infoText = store.field(section, "Document").text;
        const IntPair box = store.pair(section, "SizeBox");
        entry->boxWidth = box.first;
        entry->boxHeight = box.second;
        entry->archiveDecoder = archiveDecoder;
        entry->archiveFileName = archiveFileName;
        entry->memberPosition = store.integer(section, "Position");

        bool hasPosition = false;
        const std::int64_t position = store.integer64(section, "ThumbsPosition", &hasPosition);
        if (data && hasPosition && timeMatches) {
            if (version == 1)
                entry->thumbnail = readBitmapThumbnail(*data, position);
            else if (version == 2)
                entry->thumbnail =
                    readJpegThumbnail(*data, position, store.integer64(section, "ThumbsSize"));
        }
        if (entry->thumbnail)
            adoptStoredThumbnail(*entry);
        result.entries.push_back(std::move(entry));
        if (progress)
            progress->advance();
    }
    if (progress)
        progress->end();
    return result;
}

} // namespace vemra
