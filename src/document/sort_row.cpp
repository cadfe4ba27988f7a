#include "document/sort_row.h"

#include "document/photo_facts.h"
#include "document/picture_source.h"
#include "document/scan_services.h"
#include "document/sort_key.h"

namespace vemra {

namespace {

// Where a text column's text is kept in a row; -1 for other columns.
int textSlot(int column) {
    switch (column) {
    case kSortByName:
        return 0;
    case kSortByExtension:
        return 1;
    case kSortByArchive:
        return 2;
    case kSortByInfo:
        return 3;
    case kSortByDecoder:
        return 4;
    case kSortByNote:
        return 5;
    case kSortByFolder:
        return 6;
    default:
        return -1;
    }
}

} // namespace

std::string_view SortRow::text(int column) const {
    const int slot = textSlot(column);
    if (slot < 0)
        return {};
    const auto at = static_cast<std::size_t>(slot);
    const std::uint32_t begin = at == 0 ? 0 : m_ends[at - 1];
    return std::string_view(m_texts).substr(begin, m_ends[at] - begin);
}

void SortRow::setText(int column, std::string_view value) {
    const int slot = textSlot(column);
    if (slot < 0)
        return;
    const auto at = static_cast<std::size_t>(slot);
    const std::uint32_t begin = at == 0 ? 0 : m_ends[at - 1];
    const std::uint32_t oldLength = m_ends[at] - begin;
    m_texts.replace(begin, oldLength, value);
    const auto newLength = static_cast<std::uint32_t>(value.size());
    for (std::size_t i = at; i < kTexts; ++i)
        m_ends[i] = m_ends[i] - oldLength + newLength;
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
    row.setText(kSortByName, parts.base);
    row.setText(kSortByExtension, parts.extension);
    row.length = entry.length;
    row.lastWriteTime = byDateTaken && entry.dateTaken != 0 ? entry.dateTaken : entry.lastWriteTime;
    const PictureSize upright = uprightPictureSize(entry);
    row.width = upright.width;
    row.height = upright.height;
    row.bitCount = entry.bitCount;
    row.setText(kSortByArchive, entry.archiveFileName);
    row.setText(kSortByInfo, entry.infoText);
    row.setText(kSortByDecoder, decoderText(entry, services));
    row.setText(kSortByNote, entry.note);
    row.setText(kSortByFolder, entry.folder);
    return row;
}

} // namespace vemra
