#include "views/folder_input_dialog.h"

#include "document/transfer_files.h"
#include "framework/history_combo.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemra {

FolderInputDialog::FolderInputDialog(QWidget* parent, SettingsStore& settings, const QString& title,
                                     const QString& prompt, const std::string& currentFolder)
    : QDialog(parent), m_current(currentFolder) {
    setWindowTitle(title.isEmpty() ? QStringLiteral("フォルダ") : title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(prompt, this));
    auto* row = new QHBoxLayout;
    m_combo = new HistoryCombo(this);
    m_combo->bind(settings, "Filer", "Folder%d", 100);
    m_combo->setMinimumContentsLength(40);
    row->addWidget(m_combo, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setFixedWidth(32);
    row->addWidget(browse);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FolderInputDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::string start = m_combo->currentText().toStdString();
        const std::string chosen =
            m_chooser ? m_chooser(start)
                      : QFileDialog::getExistingDirectory(
                            this, QStringLiteral("フォルダの選択"),
                            QString::fromStdString(start.empty() ? m_current : start))
                            .toStdString();
        if (!chosen.empty())
            m_combo->setEditText(QString::fromStdString(chosen));
    });
}

void FolderInputDialog::accept() {
    const std::optional<std::string> absolute =
        typedFolder(m_combo->currentText().trimmed().toStdString(), m_current);
    if (!absolute)
        return;
    m_combo->acceptText();
    m_folder = *absolute;
    QDialog::accept();
}

std::optional<std::string> FolderInputDialog::ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_folder;
}

} // namespace vemra
