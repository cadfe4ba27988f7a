#pragma once

#include <QString>

#include <string>

class QDialog;
class QLayout;

namespace vemra {

// Lays `dialog` out as the output dialogs are: `form` above a row with the
// accepting button `acceptText` and "キャンセル".
void layOutDialog(QDialog& dialog, QLayout* form, const QString& acceptText);

// A folder or file typed into a dialog, made absolute against `base` (the
// document's folder); empty when `typed` is empty.
std::string absoluteFolder(const std::string& typed, const std::string& base);

} // namespace vemra
