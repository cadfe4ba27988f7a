#pragma once

#include "document/contact_sheet.h"

#include <QDialog>

#include <string>

class QComboBox;
class QSpinBox;

namespace vemra {

class HistoryCombo;
class SettingsStore;

// "コンタクトシートの作成": the folder and file name of the sheets (each
// with a history of ten in section "Catalog"), BMP or JPEG, the number of
// columns and rows (0 computes them) and the JPEG quality.
class ContactSheetDialog : public QDialog {
    Q_OBJECT
public:
    ContactSheetDialog(SettingsStore& store, std::string baseFolder, QWidget* parent = nullptr);

    // After acceptance: the output folder, the sheet's path and the options.
    const std::string& folder() const { return m_outputFolder; }
    const std::string& outputPath() const { return m_outputPath; }
    const ContactSheetOptions& options() const { return m_options; }

    void accept() override;

    // --- parts, for tests
    HistoryCombo* folderCombo() const { return m_folder; }
    HistoryCombo* fileNameCombo() const { return m_fileName; }
    QComboBox* typeList() const { return m_type; }
    QSpinBox* columnsSpin() const { return m_columns; }
    QSpinBox* rowsSpin() const { return m_rows; }
    QSpinBox* qualitySpin() const { return m_quality; }

private:
    SettingsStore& m_store;
    std::string m_baseFolder;
    HistoryCombo* m_folder = nullptr;
    HistoryCombo* m_fileName = nullptr;
    QComboBox* m_type = nullptr;
    QSpinBox* m_columns = nullptr;
    QSpinBox* m_rows = nullptr;
    QSpinBox* m_quality = nullptr;
    std::string m_outputFolder;
    std::string m_outputPath;
    ContactSheetOptions m_options;
};

} // namespace vemra
