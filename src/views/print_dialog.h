#pragma once

#include <QPrintDialog>

#include <string>

class QPushButton;

namespace vemra {

class HistoryCombo;
class SettingsStore;

// The printer dialog (printer and its properties, paper, orientation) with
// the page "印刷定義ファイル": the definition file with a history of ten
// (section "Print", File0-File9), "参照" and a note that without a file
// every picture fills the paper. Printing a selection of pages and to a
// file are not offered, unless the system has no printer at all: then the
// PDF file is the one way to print.
class PrintDialog : public QPrintDialog {
    Q_OBJECT
public:
    // "参照" opens in `definitionFolder` (the samples beside the program).
    PrintDialog(SettingsStore& store, QPrinter& printer, std::string definitionFolder,
                QWidget* parent = nullptr);

    // After acceptance: the definition file chosen (empty for none).
    const std::string& definitionFile() const { return m_definition; }

    void accept() override;

    // --- parts, for tests
    HistoryCombo* fileCombo() const { return m_file; }
    QPushButton* browseButton() const { return m_browse; }
    QWidget* definitionPage() const { return m_page; }

private:
    void browse();

    std::string m_folder;
    HistoryCombo* m_file = nullptr;
    QPushButton* m_browse = nullptr;
    QWidget* m_page = nullptr;
    std::string m_definition;
};

} // namespace vemra
