#pragma once

#include <QString>

#include <functional>
#include <string>

class QComboBox;
class QHBoxLayout;
class QPushButton;
class QDialog;
class QLayout;
class QWidget;

namespace vemra {

// Lays `dialog` out as the output dialogs are: `form` above a row with the
// accepting button `acceptText` and "キャンセル".
void layOutDialog(QDialog& dialog, QLayout* form, const QString& acceptText);

// A folder or file typed into a dialog, made absolute against `base` (the
// document's folder); empty when `typed` is empty.
std::string absoluteFolder(const std::string& typed, const std::string& base);

class SettingsStore;

// The "Q" button's menu of the folder tree's quick-access folders (DrvView
// QUICKACC_%d) below `button`; `chosen` gets the folder picked. Nothing
// shows when there are none.
void showQuickAccessMenu(QWidget* button, SettingsStore& settings,
                         const std::function<void(const std::string&)>& chosen);

// A folder for the destination combo `combo`: asked through `chooser` when
// the caller (a test) gave one, else through the folder chooser titled
// `title`, starting at the combo's text or, without one, at `current`. The
// chosen folder replaces the combo's text; a cancel leaves it.
using FolderChooser = std::function<std::string(const std::string& start)>;
void chooseFolderInto(QComboBox& combo, const QString& title, const std::string& current,
                      const FolderChooser& chooser);

class HistoryCombo;

// The destination row of the copy, move and save dialogs: the folder history
// (`Filer` `Folder%d`, `historyCount` entries) with "..." and "Q" beside it.
struct DestinationRow {
    QHBoxLayout* layout;
    HistoryCombo* combo;
    QPushButton* browse;
    QPushButton* quick;
};
DestinationRow makeDestinationRow(QWidget* owner, SettingsStore& settings, int historyCount);

} // namespace vemra
