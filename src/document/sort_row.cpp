#include "document/sort_row.h"

#include "document/photo_facts.h"
#include "document/picture_source.h"
#include "document/scan_services.h"
#include "document/sort_key.h"

namespace vemra {

std::string_view SortRow::text(int column) const {
    switch (column) {
    case kSortByName:
        return name;
    case kSortByExtension:
        return extension;
    case kSortByArchive:
        return archive;
    case kSortByInfo:
        return info;
    case kSortByDecoder:
        return decoder;
    case kSortByNote:
        return note;
    case kSortByFolder:
        return folder;
    default:
        return {};
    }
}

NameParts splitExtension(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return {fileName, {}};
    return {fileName.substr(0, dot), fileName.substr(dot + 1)};
}

std::string decoderText(const PictureSource& entry, const ScanServices& services) {
    std::string text = services.pictureDecoderLabel(entry.decoder);
    if (entry.isArchiveMember()) {
        text += '/';
        text += services.archiveDecoderLabel(entry.archiveDecoder);
    }
    return text;
}

SortRow makeSortRow(const PictureSource& entry, int entryIndex, const ScanServices& services,
                    bool byDateTaken) {
    SortRow row;
    row.entryIndex = entryIndex;
    const NameParts parts = splitExtension(entry.fileName);
    row.name = parts.base;
    row.extension = parts.extension;
    row.length = entry.length;
    row.lastWriteTime = byDateTaken && entry.dateTaken != 0 ? entry.dateTaken : entry.lastWriteTime;
    const PictureSize upright = uprightPictureSize(entry);
    row.width = upright.width;
    row.height = upright.height;
    row.bitCount = entry.bitCount;
    row.archive = entry.archiveFileName;
    row.info = entry.infoText;
    row.decoder = decoderText(entry, services);
    row.note = entry.note;
    row.folder = entry.folder;
    return row;
}

} // namespace vemra
