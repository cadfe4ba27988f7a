#include "views/destination_dialog.h"

#include "document/transfer_files.h"
#include "framework/history_combo.h"
#include "settings/settings_store.h"
#include "views/dialog_support.h"
#include "views/transfer_dialog_options.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vemra {
namespace {

constexpr int kHistoryCount = 10;

} // namespace

DestinationDialog::DestinationDialog(QWidget* parent, Kind kind, SettingsStore& settings,
                                     const std::string& currentFolder)
    : QDialog(parent), m_kind(kind), m_settings(settings), m_current(currentFolder) {
    const bool copy = kind == Kind::Copy;
    setWindowTitle(copy ? QStringLiteral("ファイルの複写") : QStringLiteral("ファイルの移動"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(copy ? QStringLiteral("ファイルを複写します")
                                      : QStringLiteral("ファイルを移動します"),
                                 this));
    const DestinationRow row = makeDestinationRow(this, settings, kHistoryCount);
    m_combo = row.combo;
    QPushButton* const browse = row.browse;
    QPushButton* const quick = row.quick;
    layout->addLayout(row.layout);
    layout->addWidget(new QLabel(
        QStringLiteral("現在の位置： %1").arg(QString::fromStdString(currentFolder)), this));

    auto* group =
        new QGroupBox(copy ? QStringLiteral("複写オプション") : QStringLiteral("オプション"), this);
    auto* radios = new QVBoxLayout(group);
    m_option = new QButtonGroup(this);
    auto* all = new QRadioButton(QStringLiteral("全てのファイル"), group);
    auto* existing =
        new QRadioButton(copy ? QStringLiteral("複写先に同名ファイルが存在するファイル")
                              : QStringLiteral("移動先に同名ファイルが存在するファイル"),
                         group);
    m_option->addButton(all, 0);
    m_option->addButton(existing, 1);
    radios->addWidget(all);
    radios->addWidget(existing);
    layout->addWidget(group);
    const TransferDialogOptions options = TransferDialogOptions::load(settings);
    const int stored = copy ? options.copyOption : options.moveOption;
    m_option->button(stored == 1 ? 1 : 0)->setChecked(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &DestinationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &DestinationDialog::chooseFolder);
    connect(quick, &QPushButton::clicked, this, [this, quick] { showQuickAccess(quick); });
}

bool DestinationDialog::onlyExisting() const {
    return m_option->checkedId() == 1;
}

void DestinationDialog::chooseFolder() {
    chooseFolderInto(*m_combo,
                     m_kind == Kind::Copy ? QStringLiteral("複写先の選択")
                                          : QStringLiteral("移動先の選択"),
                     m_current, m_chooser);
}

void DestinationDialog::showQuickAccess(QWidget* button) {
    showQuickAccessMenu(button, m_settings, [this](const std::string& folder) {
        m_combo->setEditText(QString::fromStdString(folder));
    });
}

void DestinationDialog::accept() {
    const std::optional<std::string> absolute =
        typedFolder(m_combo->currentText().trimmed().toStdString(), m_current);
    if (!absolute)
        return; // stays open
    m_combo->acceptText();
    TransferDialogOptions options = TransferDialogOptions::load(m_settings);
    (m_kind == Kind::Copy ? options.copyOption : options.moveOption) = onlyExisting() ? 1 : 0;
    options.save(m_settings);
    m_destination = *absolute;
    QDialog::accept();
}

std::optional<DestinationDialog::Choice> DestinationDialog::ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return Choice{m_destination, onlyExisting()};
}

} // namespace vemra
