#include "document/sort_key.h"

#include <array>
#include <cstdint>

namespace vemra {
namespace {

constexpr int kPlainCodes = 3;
constexpr int kPixelCodes = 9;

// Titles by column and code; the plain columns use the first three.
constexpr std::array<std::array<std::string_view, kPixelCodes>, kSortColumnCount> kHeadings{{
    {{" ﾌｧｲﾙ名", " ﾌｧｲﾙ名+", " ﾌｧｲﾙ名-"}},
    {{" 拡張子", " 拡張子+", " 拡張子-"}},
    {{"ｻｲｽﾞ ", "ｻｲｽﾞ+ ", "ｻｲｽﾞ- "}},
    {{" 更新日付", " 更新日付+", " 更新日付-"}},
    {{" 画素", " 画素+w", " 画素-w", " 画素+h", " 画素-h", " 画素+c", " 画素-c", " 画素+wxh",
      " 画素-wxh"}},
    {{" ｱｰｶｲﾌﾞ", " ｱｰｶｲﾌﾞ+", " ｱｰｶｲﾌﾞ-"}},
    {{" 情報", " 情報+", " 情報-"}},
    {{" SPI名", " SPI名+", " SPI名-"}},
    {{"Note", "Note+", "Note-"}},
    {{"ﾌｫﾙﾀﾞ名", "ﾌｫﾙﾀﾞ名+", "ﾌｫﾙﾀﾞ名-"}},
}};

} // namespace

int sortCodeCount(int column) {
    if (column < 0 || column >= kSortColumnCount)
        return 0;
    return column == kSortByPixels ? kPixelCodes : kPlainCodes;
}

bool SortKey::isValid() const {
    return code >= 0 && code < sortCodeCount(column);
}

std::optional<SortKey> SortKey::unpack(std::uint64_t value) {
    if (value > UINT32_MAX)
        return std::nullopt;
    const SortKey key{static_cast<int>(value % kCodeUnit), static_cast<int>(value / kCodeUnit)};
    if (!key.isValid())
        return std::nullopt;
    return key;
}

int sortCodeForRequest(int column, int currentCode, int request) {
    const int codes = sortCodeCount(column);
    if (codes == 0 || request == 0)
        return 0;
    if (request < 0)
        return currentCode >= 0 && currentCode < codes ? (currentCode + 1) % codes : 0;
    return (request - 1) % (codes - 1) + 1;
}

std::string_view sortHeading(int column, int code) {
    if (sortCodeCount(column) == 0)
        return {};
    if (code < 0 || code >= sortCodeCount(column))
        code = 0;
    return kHeadings[static_cast<std::size_t>(column)][static_cast<std::size_t>(code)];
}

} // namespace vemra
