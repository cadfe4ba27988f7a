#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QMenu;
class QToolButton;

namespace vemra {

class HistoryCombo;
class SettingsStore;

// "レポートファイルの作成": the report's file (report.txt in the document's
// folder at first, always saved as a text file) and its line format, with a
// history of a hundred formats in section "ReportFile" and a menu that puts
// a caption macro where the format's selection was.
class ReportFileDialog : public QDialog {
    Q_OBJECT
public:
    ReportFileDialog(SettingsStore& store, const std::string& folder, QWidget* parent = nullptr);

    // After acceptance: the file, and the format (empty: the default one).
    const std::string& path() const { return m_path; }
    const std::string& format() const { return m_format; }

    void accept() override;
    // Puts `macro` in place of the format's last selection.
    void insertMacro(const QString& macro);

    // --- parts, for tests
    QLineEdit* fileEdit() const { return m_file; }
    HistoryCombo* formatCombo() const { return m_formatCombo; }
    QMenu* macroMenu() const { return m_menu; }

private:
    void browse();
    void rememberSelection();

    SettingsStore& m_store;
    std::string m_folder;
    QLineEdit* m_file = nullptr;
    HistoryCombo* m_formatCombo = nullptr;
    QToolButton* m_macroButton = nullptr;
    QMenu* m_menu = nullptr;
    int m_selectionStart = 0;
    int m_selectionLength = 0;
    std::string m_path;
    std::string m_format;
};

} // namespace vemra
