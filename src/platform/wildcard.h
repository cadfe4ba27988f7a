#pragma once

#include <string_view>

namespace vemra {

// Name patterns with the rules users know from Windows, for every place that
// matches names: masks typed for a folder, the decoders' extension lists,
// plug-in file names. One set of rules, so that a name the folder scan keeps
// is one its decoder will be asked about, and the other way round.
//
// - Letter case is ignored (ASCII letters; other bytes compare as they are).
// - "*" matches any run of characters, "?" exactly one (a UTF-8 sequence
//   counts as one character).
// - "*" and "*.*" match every name, with or without a ".".
// - A mask ending in ".*" also matches a name without "." that matches the
//   mask's part before the ".*" ("img??.*" takes "img01"); a mask ending in
//   a single "." also matches such a name by its part before the "." ("*."
//   lists the names without an extension).
bool matchesWildcard(std::string_view name, std::string_view mask);

// A list of masks separated by ";", as decoders and settings give them
// ("*.jpg;*.jpeg"). Blanks around each mask are ignored and empty masks are
// skipped; the name matches when one of the masks matches it.
bool matchesWildcardList(std::string_view name, std::string_view masks);

// `text` without the blanks (spaces and tabs) at either end, as masks are
// typed in lists ("*.jpg; *.png").
std::string_view trimBlanks(std::string_view text);

} // namespace vemra
