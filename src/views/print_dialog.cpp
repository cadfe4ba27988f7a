#include "views/print_dialog.h"

#include "framework/history_combo.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemra {
namespace {

constexpr int kHistorySize = 10;

} // namespace

PrintDialog::PrintDialog(SettingsStore& store, QPrinter& printer, std::string definitionFolder,
                         QWidget* parent)
    : QPrintDialog(&printer, parent), m_folder(std::move(definitionFolder)) {
    setWindowTitle(QStringLiteral("印刷"));
    setOption(QAbstractPrintDialog::PrintSelection, false);
    setOption(QAbstractPrintDialog::PrintPageRange, false);
    setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // Printing to a file is no use where a printer exists; on a machine
    // without one the PDF file is the only way out.
    setOption(QAbstractPrintDialog::PrintToFile, QPrinterInfo::availablePrinters().isEmpty());

    m_page = new QWidget;
    m_page->setWindowTitle(QStringLiteral("印刷定義ファイル"));
    auto* group = new QGroupBox(QStringLiteral("印刷定義ファイル"), m_page);
    m_file = new HistoryCombo(group);
    m_file->bind(store, "Print", "File%d", kHistorySize);
    m_file->setMinimumContentsLength(40);
    m_browse = new QPushButton(QStringLiteral("参照"), group);
    connect(m_browse, &QPushButton::clicked, this, &PrintDialog::browse);
    auto* label = new QLabel(QStringLiteral("ファイル(&F)"), group);
    label->setBuddy(m_file);
    auto* grid = new QGridLayout(group);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_file, 0, 1);
    grid->addWidget(m_browse, 0, 2);
    grid->addWidget(
        new QLabel(QStringLiteral("印刷定義ファイルを指定しないと用紙サイズ最大に印刷します。"),
                   group),
        1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(m_page);
    layout->addWidget(group);
    layout->addStretch(1);
    setOptionTabs({m_page});
}

void PrintDialog::browse() {
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("印刷定義ファイル"),
                                                        QString::fromStdString(m_folder),
                                                        QStringLiteral("印刷定義ﾌｧｲﾙ (*.dps)"));
    if (chosen.isEmpty())
        return;
    if (m_file->findText(chosen) < 0)
        m_file->insertItem(0, chosen);
    m_file->setCurrentIndex(m_file->findText(chosen));
}

void PrintDialog::accept() {
    m_definition = m_file->acceptText();
    QPrintDialog::accept();
}

} // namespace vemra
