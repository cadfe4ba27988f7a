#include "views/dialog_support.h"

#include "framework/history_combo.h"
#include "settings/settings_store.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace vemra {

void layOutDialog(QDialog& dialog, QLayout* form, const QString& acceptText) {
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(acceptText, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::string absoluteFolder(const std::string& typed, const std::string& base) {
    if (typed.empty())
        return {};
    std::filesystem::path path(typed);
    if (path.is_relative())
        path = std::filesystem::path(base) / path;
    return path.lexically_normal().string();
}

void showQuickAccessMenu(QWidget* button, SettingsStore& settings,
                         const std::function<void(const std::string&)>& chosen) {
    constexpr int kQuickAccessCount = 10;
    QMenu menu(button);
    for (int i = 0; i < kQuickAccessCount; ++i) {
        const std::string folder = settings.getText("DrvView", "QUICKACC_" + std::to_string(i), "");
        if (folder.empty())
            continue;
        QAction* action = menu.addAction(QString::fromStdString(folder));
        QObject::connect(action, &QAction::triggered, button, [chosen, folder] { chosen(folder); });
    }
    if (!menu.isEmpty())
        menu.exec(button->mapToGlobal(QPoint(0, button->height())));
}

void chooseFolderInto(QComboBox& combo, const QString& title, const std::string& current,
                      const FolderChooser& chooser) {
    const std::string start = combo.currentText().toStdString();
    const std::string chosen =
        chooser ? chooser(start)
                : QFileDialog::getExistingDirectory(
                      &combo, title, QString::fromStdString(start.empty() ? current : start))
                      .toStdString();
    if (!chosen.empty())
        combo.setEditText(QString::fromStdString(chosen));
}

DestinationRow makeDestinationRow(QWidget* owner, SettingsStore& settings, int historyCount) {
    DestinationRow row{new QHBoxLayout, new HistoryCombo(owner),
                       new QPushButton(QStringLiteral("..."), owner),
                       new QPushButton(QStringLiteral("Q"), owner)};
    row.combo->bind(settings, "Filer", "Folder%d", historyCount);
    row.combo->setMinimumContentsLength(40);
    row.browse->setFixedWidth(32);
    row.quick->setFixedWidth(32);
    row.layout->addWidget(row.combo, 1);
    row.layout->addWidget(row.browse);
    row.layout->addWidget(row.quick);
    return row;
}

} // namespace vemra
