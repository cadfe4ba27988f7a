#include "views/folder_name_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemra {
namespace {

std::string lastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FolderNameDialog::FolderNameDialog(Purpose purpose, const std::string& folder, QWidget* parent)
    : QDialog(parent), m_edit(new QLineEdit(this)) {
    const bool create = purpose == Purpose::Create;
    setObjectName(create ? QStringLiteral("newFolderDialog")
                         : QStringLiteral("renameFolderDialog"));
    setWindowTitle(create ? QStringLiteral("フォルダの新規作成")
                          : QStringLiteral("フォルダの名前変更"));
    const QString shown = QString::fromStdString(folder);
    auto* prompt =
        new QLabel(create ? QStringLiteral("\"%1\"にフォルダを新規作成します").arg(shown)
                          : QStringLiteral("\"%1\"のフォルダを名前変更します").arg(shown),
                   this);
    prompt->setWordWrap(true);
    // A file name is at most 255 bytes; the edit counts characters, which
    // is close enough for the limit to show while typing.
    m_edit->setMaxLength(255);
    m_edit->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this,
            [this] { m_ok->setEnabled(isValidName(name())); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setName(create ? std::string() : lastComponent(folder));
    m_edit->selectAll();
}

std::string FolderNameDialog::name() const {
    return m_edit->text().toStdString();
}

void FolderNameDialog::setName(const std::string& name) {
    m_edit->setText(QString::fromStdString(name));
    m_ok->setEnabled(isValidName(name));
}

bool FolderNameDialog::isValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= 255 &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::optional<std::string> FolderNameDialog::ask(Purpose purpose, const std::string& folder,
                                                 QWidget* parent) {
    FolderNameDialog dialog(purpose, folder, parent);
    if (dialog.exec() != QDialog::Accepted || !isValidName(dialog.name())) {
        return std::nullopt;
    }
    return dialog.name();
}

} // namespace vemra
