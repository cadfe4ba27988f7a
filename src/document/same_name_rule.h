#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vemra {

// What to do when a file of the target's name exists already. The numbers
// are stored (Filer SameOption, OverWriteOption) and never change.
enum class SameNameAction {
    NewerOnly = 0,  // "新しい日付のみ(&T)": when the source was written later
    Overwrite = 1,  // "上書き(&O)"
    Skip = 2,       // "スキップ(&S)"
    Rename = 3,     // "名前変更(&R)": to the name typed in the dialog
    AutoNumber = 4, // "自動連番(&N)": to the first free numbered name
    Larger = 5,     // "大きなサイズ(&B)": when the source is larger
};

// The action a stored number stands for; anything outside 0-5 gives
// `fallback`.
SameNameAction sameNameActionFrom(int stored, SameNameAction fallback);

// Whether a source replaces an existing target under `action` (Rename and
// AutoNumber go to another name, so they always transfer).
bool transfersOver(SameNameAction action, std::int64_t sourceTime, std::uint64_t sourceSize,
                   std::int64_t targetTime, std::uint64_t targetSize);

// One automatically numbered name: `format` ("%s-%d%s" by default) with the
// path without its extension, the number and the extension (with its dot)
// put in place of "%s", "%d" and the second "%s"; "%%" is a percent sign.
// The format comes from the settings file, so it is never handed to printf:
// a format without exactly those three places gives the default's name.
std::string autoNumberedName(std::string_view format, std::string_view base, int number,
                             std::string_view extension);

// The first name `format` gives for n = 2, 3, ... that no file has yet;
// `target` itself when nothing free was found within a million tries.
std::string firstFreeNumberedName(std::string_view format, const std::string& target);

} // namespace vemra
