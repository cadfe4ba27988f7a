#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vemra {

// The ten columns of the details list, which are also the ten things the
// pictures of a folder can be ordered by.
enum SortColumn : int {
    kSortByName = 0,  // file name without its extension
    kSortByExtension, // extension without its dot
    kSortBySize,      // length in bytes
    kSortByDate,      // last-write time
    kSortByPixels,    // width, height, bit count or area, by code
    kSortByArchive,   // name of the archive holding a member
    kSortByInfo,      // the decoder's information text
    kSortByDecoder,   // decoder name(s)
    kSortByNote,      // the picture's note
    kSortByFolder,    // folder part of the path
};
inline constexpr int kSortColumnCount = 10;

// One way of ordering: a column and a code. Code 0 is the scan order; for
// every column but the pixel column 1 is ascending and 2 descending; the
// pixel column has 1/2 width, 3/4 height, 5/6 bit count and 7/8 area
// (odd ascending, even descending).
//
// Stored and exchanged packed as column + code × 65536, so the value format
// of the stored history stays what it always was.
struct SortKey {
    static constexpr std::uint32_t kCodeUnit = 65536;

    int column = kSortByName;
    int code = 0;

    std::uint32_t packed() const {
        return static_cast<std::uint32_t>(column) + static_cast<std::uint32_t>(code) * kCodeUnit;
    }
    // The key a packed value stands for, or nullopt when the value names no
    // column or a code the column does not have (a damaged setting).
    static std::optional<SortKey> unpack(std::uint64_t value);

    bool isValid() const;
    bool ascending() const { return code % 2 == 1; }

    friend bool operator==(const SortKey&, const SortKey&) = default;
};

// Codes of `column` including 0: 3, or 9 for the pixel column; 0 for a
// number that is no column.
int sortCodeCount(int column);

// The code a request gives on `column` whose present code is `currentCode`:
// 0 the scan order; a negative request the code after the present one
// (wrapping back to 0, as repeated heading clicks do); a positive request r
// code ((r - 1) mod (codes - 1)) + 1, which keeps the direction when the
// request comes from another column's code.
int sortCodeForRequest(int column, int currentCode, int request);

// The column title the details list shows for `column` sorted by `code`
// (code 0 gives the plain title; a code the column lacks gives it too).
std::string_view sortHeading(int column, int code);

} // namespace vemra
