#pragma once

#include <array>
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
    std::uint64_t length = 0;
    // The date column's time: the file's modification time, or with
    // SortDateTaken the date a photograph was taken where it is known.
    std::int64_t lastWriteTime = 0;
    int width = 0; // upright
    int height = 0;
    int bitCount = 0;

    // The text of a text column: the file name without its extension, the
    // extension, the archive file holding a member (empty for a file), the
    // information, decoder, note and folder texts; empty for the others.
    std::string_view text(int column) const;
    // Sets a text column's text; other columns have none to set.
    void setText(int column, std::string_view value);

private:
    static constexpr std::size_t kTexts = 7;
    // The seven texts one after the other in one block, each ending where
    // m_ends says: a list keeps a row for each of maybe 100,000 entries,
    // and seven strings of their own cost 224 bytes a row before any text.
    std::string m_texts;
    std::array<std::uint32_t, kTexts> m_ends{};
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
