#pragma once

#include "document/html_catalog_options.h"

#include <QDialog>

#include <string>

class QButtonGroup;
class QCheckBox;
class QSpinBox;

namespace vemra {

class HistoryCombo;
class SettingsStore;

// "HTMLの作成": where the catalog goes, its first page's name, the
// definition file, pictures per page or the table size, and whether and
// how thumbnails are made. The four texts keep histories of ten in section
// "Html"; the numbers and switches are stored there when "作成" is pressed.
class HtmlCatalogDialog : public QDialog {
    Q_OBJECT
public:
    // Relative folders typed in are taken from `baseFolder` (the document's
    // folder); `definitionFolder` is where the definition chooser opens and
    // where a first definition is offered from.
    HtmlCatalogDialog(SettingsStore& store, std::string baseFolder, std::string definitionFolder,
                      QWidget* parent = nullptr);

    // The run the dialog was accepted with.
    const HtmlCatalogRequest& request() const { return m_request; }

    void accept() override;

    // --- parts, for tests
    HistoryCombo* folderCombo() const { return m_folder; }
    HistoryCombo* fileNameCombo() const { return m_fileName; }
    HistoryCombo* definitionCombo() const { return m_definition; }
    HistoryCombo* thumbsFolderCombo() const { return m_thumbsFolder; }
    QSpinBox* perPageSpin() const { return m_perPage; }
    QCheckBox* tableCheck() const { return m_table; }
    QSpinBox* columnsSpin() const { return m_columns; }
    QSpinBox* rowsSpin() const { return m_rows; }
    QButtonGroup* linkGroup() const { return m_link; }
    QSpinBox* qualitySpin() const { return m_quality; }
    QCheckBox* progressiveCheck() const { return m_progressive; }
    QCheckBox* quantCheck() const { return m_quant; }

private:
    void updateEnabling();
    void browseFolder();
    void browseDefinition();

    SettingsStore& m_store;
    std::string m_baseFolder;
    std::string m_definitionFolder;
    HtmlCatalogRequest m_request;
    HistoryCombo* m_folder = nullptr;
    HistoryCombo* m_fileName = nullptr;
    HistoryCombo* m_definition = nullptr;
    HistoryCombo* m_thumbsFolder = nullptr;
    QSpinBox* m_perPage = nullptr;
    QCheckBox* m_table = nullptr;
    QSpinBox* m_columns = nullptr;
    QSpinBox* m_rows = nullptr;
    QButtonGroup* m_link = nullptr;
    QSpinBox* m_quality = nullptr;
    QCheckBox* m_progressive = nullptr;
    QCheckBox* m_quant = nullptr;
};

} // namespace vemra
