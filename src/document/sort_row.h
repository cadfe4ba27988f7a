#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vemra {

class PictureSource;
class ScanServices;

// What ordering needs of one picture entry, copied from it (the details list
// keeps such a copy per row), so that sorting never reaches into the
// document's entries.
struct SortRow {
    int entryIndex = 0; // position in the document's entry list: the scan order
    std::string name;   // file name without its extension
    std::string extension;
    std::uint64_t length = 0;
    // The date column's time: the file's modification time, or with
    // SortDateTaken the date a photograph was taken where it is known.
    std::int64_t lastWriteTime = 0;
    int width = 0; // upright
    int height = 0;
    int bitCount = 0;
    std::string archive; // the archive file holding a member; empty for a file
    std::string info;
    std::string decoder;
    std::string note;
    std::string folder;

    // The text of a text column (name, extension, archive, info, decoder,
    // note, folder); empty for the others.
    std::string_view text(int column) const;
};

// `fileName` cut at its last "." (a "." inside a member's folder part does
// not count): the part before and the part after, without the dot.
struct NameParts {
    std::string_view base;
    std::string_view extension;
};
NameParts splitExtension(std::string_view fileName);

// The decoder text lists show for an entry: its picture decoder's name, and
// for an archive member "/" and the archive decoder's name after it.
std::string decoderText(const PictureSource& entry, const ScanServices& services);

// The row of `entry`, which sits at `entryIndex` in the entry list. The
// folder of an archive member is the folder holding its archive. With
// `byDateTaken` the date column holds the date taken where the entry knows
// it (learnt with its thumbnail or from its cache record: sorting never
// reads a file).
SortRow makeSortRow(const PictureSource& entry, int entryIndex, const ScanServices& services,
                    bool byDateTaken = false);

} // namespace vemra
