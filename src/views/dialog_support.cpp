#include "views/dialog_support.h"

#include <QDialog>
#include <QDialogButtonBox>
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

} // namespace vemra
