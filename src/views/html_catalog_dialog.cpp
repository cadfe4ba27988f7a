#include "views/html_catalog_dialog.h"

#include "framework/history_combo.h"
#include "views/dialog_support.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <filesystem>

namespace vemra {
namespace {

constexpr int kHistorySize = 10;

QSpinBox* spin(int low, int high, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QPushButton* browseButton(QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    return button;
}

// Shows `path` in `combo`, selecting it when the history holds it.
void showInCombo(HistoryCombo* combo, const QString& path) {
    const int at = combo->findText(path);
    if (at >= 0)
        combo->setCurrentIndex(at);
    else
        combo->setEditText(path);
}

} // namespace

HtmlCatalogDialog::HtmlCatalogDialog(SettingsStore& store, std::string baseFolder,
                                     std::string definitionFolder, QWidget* parent)
    : QDialog(parent), m_store(store), m_baseFolder(std::move(baseFolder)),
      m_definitionFolder(std::move(definitionFolder)) {
    setWindowTitle(QStringLiteral("HTMLの作成"));
    const HtmlCatalogOptions options = HtmlCatalogOptions::load(store);

    m_folder = new HistoryCombo(this);
    m_folder->bind(store, "Html", "Folder%d", kHistorySize);
    m_fileName = new HistoryCombo(this);
    m_fileName->bind(store, "Html", "FileName%d", kHistorySize);
    if (m_fileName->currentText().isEmpty())
        m_fileName->setEditText(QStringLiteral("catalog.htm"));
    m_definition = new HistoryCombo(this);
    m_definition->bind(store, "Html", "HtmlFile%d", kHistorySize);
    if (m_definition->currentText().isEmpty() && !m_definitionFolder.empty()) {
        // A first catalog starts from a definition shipped with the program.
        const auto offered = std::filesystem::path(m_definitionFolder) / "thumbnail-table.kpm";
        if (std::filesystem::exists(offered))
            m_definition->setEditText(QString::fromStdString(offered.string()));
    }
    m_thumbsFolder = new HistoryCombo(this);
    m_thumbsFolder->bind(store, "Html", "ThumbsFolder%d", kHistorySize);

    auto* folderBrowse = browseButton(this);
    auto* definitionBrowse = browseButton(this);
    connect(folderBrowse, &QPushButton::clicked, this, &HtmlCatalogDialog::browseFolder);
    connect(definitionBrowse, &QPushButton::clicked, this, &HtmlCatalogDialog::browseDefinition);

    m_perPage = spin(0, 100, options.pageCount, this);
    m_table = new QCheckBox(QStringLiteral("表形式"), this);
    m_table->setChecked(options.table);
    m_columns = spin(0, 40, options.widthCount, this);
    m_rows = spin(0, 40, options.heightCount, this);

    m_link = new QButtonGroup(this);
    const char* linkTexts[] = {"元画像にリンクを貼ります", "JPEGでサムネイル画像を作成",
                               "PNGでサムネイル画像を作成"};
    auto* linkBox = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(linkTexts[i]), this);
        m_link->addButton(radio, i);
        linkBox->addWidget(radio);
    }
    if (QAbstractButton* chosen = m_link->button(std::clamp(options.linkFormat, 0, 2)))
        chosen->setChecked(true);
    m_quality = spin(0, 100, options.jpegQuality, this);
    m_progressive = new QCheckBox(QStringLiteral("プログレッシブ"), this);
    m_progressive->setChecked(options.progressive);
    m_quant = new QCheckBox(QStringLiteral("減色 256色"), this);
    m_quant->setChecked(options.quantPng == 8);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("保存先フォルダ："), this), row, 0);
    grid->addWidget(m_folder, row, 1, 1, 4);
    grid->addWidget(folderBrowse, row++, 5);
    grid->addWidget(new QLabel(QStringLiteral("HTMLファイル名："), this), row, 0);
    grid->addWidget(m_fileName, row++, 1, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("HTML定義ファイル："), this), row, 0);
    grid->addWidget(m_definition, row, 1, 1, 4);
    grid->addWidget(definitionBrowse, row++, 5);
    grid->addWidget(new QLabel(QStringLiteral("１頁の最大画像数\n     (0で制限無し)"), this), row,
                    0);
    grid->addWidget(m_perPage, row++, 1);
    grid->addWidget(m_table, row, 0);
    grid->addWidget(m_columns, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("X"), this), row, 2, Qt::AlignCenter);
    grid->addWidget(m_rows, row++, 3);
    grid->addLayout(linkBox, row++, 0, 1, 6);
    grid->addWidget(new QLabel(QStringLiteral("JPEG圧縮品質\n（0:低品質～100:高品質）"), this), row,
                    0);
    grid->addWidget(m_quality, row, 1);
    grid->addWidget(m_progressive, row, 2, 1, 2);
    grid->addWidget(m_quant, row++, 4, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("サムネイル保存 相対フォルダ："), this), row, 0);
    grid->addWidget(m_thumbsFolder, row++, 1, 1, 4);
    grid->setColumnStretch(4, 1);

    layOutDialog(*this, grid, QStringLiteral("作成"));

    connect(m_table, &QCheckBox::toggled, this, &HtmlCatalogDialog::updateEnabling);
    connect(m_link, &QButtonGroup::idToggled, this, &HtmlCatalogDialog::updateEnabling);
    updateEnabling();
    setMinimumWidth(560);
}

void HtmlCatalogDialog::updateEnabling() {
    const bool table = m_table->isChecked();
    m_perPage->setEnabled(!table);
    m_columns->setEnabled(table);
    m_rows->setEnabled(table);
    const int link = m_link->checkedId();
    m_quality->setEnabled(link == 1);
    m_progressive->setEnabled(link == 1);
    m_quant->setEnabled(link == 2);
    m_thumbsFolder->setEnabled(link == 1 || link == 2);
}

void HtmlCatalogDialog::browseFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("保存先を選択してください"), m_folder->currentText());
    if (!chosen.isEmpty())
        showInCombo(m_folder, chosen);
}

void HtmlCatalogDialog::browseDefinition() {
    QString start = QString::fromStdString(m_definitionFolder);
    const std::filesystem::path current(m_definition->currentText().toStdString());
    if (current.has_parent_path() && std::filesystem::is_directory(current.parent_path()))
        start = QString::fromStdString(current.parent_path().string());
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("HTML定義ファイルの選択"), start,
                                     QStringLiteral("Vemra HTML files(*.kpm);;all files(*)"));
    if (!chosen.isEmpty())
        showInCombo(m_definition, chosen);
}

void HtmlCatalogDialog::accept() {
    if (m_folder->currentText().trimmed().isEmpty() ||
        m_fileName->currentText().trimmed().isEmpty() ||
        m_definition->currentText().trimmed().isEmpty())
        return;
    const std::string folder = m_folder->acceptText();
    const std::string fileName = m_fileName->acceptText();
    const std::string definition = m_definition->acceptText();
    std::string thumbs = m_thumbsFolder->acceptText();
    if (thumbs.empty())
        thumbs = ".";

    HtmlCatalogOptions options;
    options.pageCount = m_perPage->value();
    options.table = m_table->isChecked();
    options.widthCount = m_columns->value();
    options.heightCount = m_rows->value();
    options.linkFormat = std::max(0, m_link->checkedId());
    options.jpegQuality = m_quality->value();
    options.progressive = m_progressive->isChecked();
    options.quantPng = m_quant->isChecked() ? 8 : 0;
    options.save(m_store);

    m_request.options = options;
    m_request.fileName = catalogFileName(fileName);
    m_request.outputFolder = absoluteFolder(folder, m_baseFolder);
    m_request.definitionFile = absoluteFolder(definition, m_baseFolder);
    m_request.thumbsFolder = thumbs;
    QDialog::accept();
}

} // namespace vemra
