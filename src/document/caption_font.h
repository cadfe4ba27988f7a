#pragma once

#include <QFont>

#include <string>
#include <string_view>

namespace vemra {

struct DocumentOptions;

// Lets the Windows face names that stored settings and definition files use
// resolve to installed fonts ("ＭＳ ゴシック" to IPAGothic, ...). Runs once
// per process; chooseCaptionFace() calls it.
void registerFontSubstitutions();

// The face to use for `wanted`: itself when an installed font has that face
// (directly or through a registered substitution), else the system font's
// family. Without a running QGuiApplication nothing can be looked up and
// `wanted` is returned unchanged.
std::string chooseCaptionFace(std::string_view wanted);

// The caption font of the grid: the chosen face with the stored height
// (negative: character height in pixels), width (average character width,
// 0 for the face's own), italic flag and weight (0 normal, else 1 to 1000).
QFont captionFont(const DocumentOptions& options);

} // namespace vemra
