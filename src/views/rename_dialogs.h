#pragma once

#include "document/serial_rename.h"

#include <QDialog>

#include <functional>
#include <span>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace vemra {

class DocumentView;
class FolderDocument;
class PictureSource;
class SettingsStore;

// "名前の変更": the new name of one picture, shown reduced beside the
// field. While more pictures follow, cancel reads "スキップ" and "中止" ends
// the whole command.
class RenameDialog : public QDialog {
    Q_OBJECT
public:
    enum Outcome { Renamed, Skipped, Stopped };

    RenameDialog(QWidget* parent, const std::string& name, const QImage& picture, bool more);

    std::string newName() const;
    QLineEdit* nameEdit() const { return m_edit; }
    Outcome outcome() const { return m_outcome; }
    // As the buttons do (tests).
    void pressOk();
    void pressSkip();
    void pressStop();

private:
    QLineEdit* m_edit = nullptr;
    Outcome m_outcome = Skipped;
};

// "連番で名前変更": the format with its hundred-entry history, the start
// number (0-10000) and the help lines. OK refuses a format with one or more
// than two "#" unless it holds a date field.
class SerialRenameDialog : public QDialog {
    Q_OBJECT
public:
    SerialRenameDialog(QWidget* parent, SettingsStore& settings);

    QComboBox* formatBox() const { return m_format; }
    QSpinBox* firstBox() const { return m_first; }
    QListWidget* helpList() const { return m_help; }
    std::string format() const;
    int firstNumber() const;
    // OK: checks, remembers and closes; false (the dialog stays) after the
    // message about a wrong format.
    bool tryAccept();

private:
    SettingsStore& m_settings;
    SerialRenameSettings m_history;
    QComboBox* m_format = nullptr;
    QSpinBox* m_first = nullptr;
    QListWidget* m_help = nullptr;
};

// The help lines of the serial-rename dialog, in their order.
std::vector<std::string> serialRenameHelpLines();

// "Report": a list of lines to read (the failures of a serial rename).
void showReportList(QWidget* parent, const std::vector<std::string>& lines);

// "名前の変更(&R)..." (10009) on the plain files at `positions` that exist,
// picture by picture. `run` shows a dialog (replaceable for tests; empty:
// exec()). The number renamed.
int runRenameCommand(QWidget* parent, FolderDocument& document, std::span<const int> positions,
                     DocumentView* sender, const std::function<void(RenameDialog&)>& run = {});

// "連番で名前変更" (10126): the dialog, then every plain file at `positions`
// renamed from the format; the failures are listed at the end. `run` shows
// the dialog and answers whether it was accepted (tests); `report` receives
// the failure list (empty: the "Report" list). The number renamed.
int runSerialRenameCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                           std::span<const int> positions, DocumentView* sender,
                           const std::function<bool(SerialRenameDialog&)>& run = {},
                           const std::function<void(const std::vector<std::string>&)>& report = {});

} // namespace vemra
