#pragma once

#include "framework/ensure_folder.h"

class QWidget;

namespace vemra {

// Makes sure `path` is a folder, asking in a Yes/No box before a missing one
// is made; a failure is shown in a box. True when the folder is there.
bool ensureFolderAsking(QWidget* parent, std::string_view path);
// The same without the question; a failure is still shown.
bool ensureFolderSilently(QWidget* parent, std::string_view path);

} // namespace vemra
