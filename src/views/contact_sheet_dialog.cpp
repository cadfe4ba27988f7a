#include "views/contact_sheet_dialog.h"

#include "framework/history_combo.h"
#include "views/dialog_support.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <filesystem>

namespace vemra {
namespace {

constexpr int kHistorySize = 10;

} // namespace

ContactSheetDialog::ContactSheetDialog(SettingsStore& store, std::string baseFolder,
                                       QWidget* parent)
    : QDialog(parent), m_store(store), m_baseFolder(std::move(baseFolder)) {
    setWindowTitle(QStringLiteral("コンタクトシートの作成"));
    const ContactSheetOptions stored = ContactSheetOptions::load(store);

    m_folder = new HistoryCombo(this);
    m_folder->bind(store, "Catalog", "Folder%d", kHistorySize);
    m_fileName = new HistoryCombo(this);
    m_fileName->bind(store, "Catalog", "FileName%d", kHistorySize);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("保存先を選択してください"), m_folder->currentText());
        if (!chosen.isEmpty())
            m_folder->setEditText(chosen);
    });
    m_type = new QComboBox(this);
    m_type->addItems({QStringLiteral("BMP"), QStringLiteral("JPEG")});
    m_type->setCurrentIndex(stored.filetype == 1 ? 1 : 0);
    m_columns = new QSpinBox(this);
    m_columns->setRange(0, 100);
    m_columns->setValue(stored.width);
    m_rows = new QSpinBox(this);
    m_rows->setRange(0, 100);
    m_rows->setValue(stored.height);
    m_quality = new QSpinBox(this);
    m_quality->setRange(0, 100);
    m_quality->setValue(stored.jpgQuality);
    connect(m_type, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_quality->setEnabled(index == 1); });
    m_quality->setEnabled(m_type->currentIndex() == 1);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("保存先フォルダ："), this), row, 0);
    grid->addWidget(m_folder, row, 1, 1, 4);
    grid->addWidget(browse, row++, 5);
    grid->addWidget(new QLabel(QStringLiteral("ファイル名書式："), this), row, 0);
    grid->addWidget(m_fileName, row++, 1, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("保存画像形式："), this), row, 0);
    grid->addWidget(m_type, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("横x縦 個数："), this), row, 0);
    grid->addWidget(m_columns, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("X"), this), row, 2, Qt::AlignCenter);
    grid->addWidget(m_rows, row++, 3);
    grid->addWidget(new QLabel(QStringLiteral("頁当たりの画像数を制限する (0:制限なし)\n"
                                              "*画像数を制限するとカタログファイル名に番号が付加"
                                              "されます）"),
                               this),
                    row++, 0, 1, 6);
    grid->addWidget(new QLabel(QStringLiteral("JPEG圧縮品質\n（0:低品質～100:高品質）"), this), row,
                    0);
    grid->addWidget(m_quality, row++, 1);
    grid->setColumnStretch(4, 1);

    layOutDialog(*this, grid, QStringLiteral("作成"));
    setMinimumWidth(520);
}

void ContactSheetDialog::accept() {
    if (m_folder->currentText().trimmed().isEmpty() ||
        m_fileName->currentText().trimmed().isEmpty())
        return;
    const std::string folder = m_folder->acceptText();
    const std::string name = m_fileName->acceptText();
    m_options.width = m_columns->value();
    m_options.height = m_rows->value();
    m_options.filetype = m_type->currentIndex() == 1 ? 1 : 0;
    m_options.jpgQuality = m_quality->value();
    m_options.save(m_store);
    m_outputFolder = absoluteFolder(folder, m_baseFolder);
    m_outputPath =
        (std::filesystem::path(m_outputFolder) / contactSheetFileName(name, m_options.filetype))
            .string();
    QDialog::accept();
}

} // namespace vemra
