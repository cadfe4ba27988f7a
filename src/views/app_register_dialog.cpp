#include "views/app_register_dialog.h"

#include "document/external_launch.h"
#include "document/folder_document.h"
#include "framework/message_box.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace vemra {
namespace {

struct MacroItem {
    const char* text;
    const char* macro;
};
constexpr MacroItem kArgumentMacros[] = {
    {"画像パス(&P)", "$(PicPath)"},
    {"画像フォルダ(&D)", "$(PicDir)"},
    {"画像ファイル名(&F)", "$(PicName)"},
    {"画像ショートパス(&S)", "$(ShortPicPath)"},
    {"画像ショートファイル名(&N)", "$(ShortPicName)"},
    {"書庫パス(&A)", "$(ArcPath)"},
};

QLineEdit* addField(QGridLayout* grid, int row, const QString& label, QWidget* parent,
                    const char* name) {
    grid->addWidget(new QLabel(label, parent), row, 0);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    grid->addWidget(edit, row, 1);
    return edit;
}

} // namespace

AppRegisterDialog::AppRegisterDialog(QWidget* parent, SettingsStore& settings)
    : QDialog(parent), m_settings(settings), m_apps(readExternalApps(settings)),
      m_readCount(static_cast<int>(m_apps.size())) {
    setWindowTitle(QStringLiteral("外部アプリケーション登録"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_title = addField(grid, 0, QStringLiteral("タイトル(&T)："), this, "title");
    m_command = addField(grid, 1, QStringLiteral("コマンド(&C)："), this, "command");
    m_arguments = addField(grid, 2, QStringLiteral("引数(&P)："), this, "arguments");
    m_folder = addField(grid, 3, QStringLiteral("実行時のフォルダ(&F)："), this, "folder");
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    auto* macros = new QPushButton(QStringLiteral(">"), this);
    auto* folders = new QPushButton(QStringLiteral(">"), this);
    for (QPushButton* b : {browse, macros, folders})
        b->setFixedWidth(32);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(macros, 2, 2);
    grid->addWidget(folders, 3, 2);
    layout->addLayout(grid);
    m_perFile = new QCheckBox(QStringLiteral("複数ファイル時、多重起動する"), this);
    layout->addWidget(m_perFile);

    layout->addWidget(new QLabel(QStringLiteral(" 外部アプリケーション一覧"), this));
    auto* middle = new QHBoxLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("apps"));
    m_list->setMinimumSize(300, 160);
    for (const ExternalApp& app : m_apps)
        m_list->addItem(QString::fromStdString(app.title));
    middle->addWidget(m_list, 1);
    auto* side = new QVBoxLayout;
    auto* add = new QPushButton(QStringLiteral("新規追加(&A)"), this);
    auto* remove = new QPushButton(QStringLiteral("登録削除(&D)"), this);
    auto* top = new QPushButton(QStringLiteral("先頭へ"), this);
    auto* up = new QPushButton(QStringLiteral("上へ"), this);
    auto* down = new QPushButton(QStringLiteral("下へ"), this);
    auto* bottom = new QPushButton(QStringLiteral("最後へ"), this);
    for (QPushButton* b : {add, remove, top, up, down, bottom})
        side->addWidget(b);
    side->addStretch();
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(close, &QPushButton::clicked, this, [this] { tryClose(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] { addEntry(); });
    connect(remove, &QPushButton::clicked, this, &AppRegisterDialog::removeEntry);
    connect(top, &QPushButton::clicked, this, [this] { moveEntry(-2); });
    connect(up, &QPushButton::clicked, this, [this] { moveEntry(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveEntry(1); });
    connect(bottom, &QPushButton::clicked, this, [this] { moveEntry(2); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), this), &QShortcut::activated, this,
            [this] { moveEntry(-1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), this), &QShortcut::activated, this,
            [this] { moveEntry(1); });
    connect(browse, &QPushButton::clicked, this, &AppRegisterDialog::chooseProgram);
    connect(macros, &QPushButton::clicked, this, &AppRegisterDialog::showArgumentMenu);
    connect(folders, &QPushButton::clicked, this, &AppRegisterDialog::showFolderMenu);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_selecting)
            select(row);
    });
    select(static_cast<int>(m_apps.size()) - 1);
}

void AppRegisterDialog::storeShown() {
    if (m_shown < 0 || m_shown >= static_cast<int>(m_apps.size()))
        return;
    ExternalApp& app = m_apps[static_cast<std::size_t>(m_shown)];
    app.title = m_title->text().toStdString();
    app.command = m_command->text().toStdString();
    app.arguments = m_arguments->text().toStdString();
    app.folder = m_folder->text().toStdString();
    app.launchPerFile = m_perFile->isChecked();
    if (QListWidgetItem* item = m_list->item(m_shown))
        item->setText(m_title->text());
}

void AppRegisterDialog::showEntry(int index) {
    m_shown = index;
    const bool valid = index >= 0 && index < static_cast<int>(m_apps.size());
    const ExternalApp empty;
    const ExternalApp& app = valid ? m_apps[static_cast<std::size_t>(index)] : empty;
    m_title->setText(QString::fromStdString(app.title));
    m_command->setText(QString::fromStdString(app.command));
    m_arguments->setText(QString::fromStdString(app.arguments));
    m_folder->setText(QString::fromStdString(app.folder));
    m_perFile->setChecked(app.launchPerFile);
    if (!valid)
        m_shown = -1;
}

void AppRegisterDialog::select(int index) {
    storeShown();
    m_selecting = true;
    m_list->setCurrentRow(index);
    m_selecting = false;
    showEntry(index);
}

bool AppRegisterDialog::addEntry() {
    if (static_cast<int>(m_apps.size()) >= kMaxExternalApps) {
        char text[128];
        std::snprintf(text, sizeof text, "外部アプリケーションの登録は最大 %d個までです",
                      kMaxExternalApps);
        showWarning(this, text);
        return false;
    }
    // The fields become the new entry; the one shown keeps what it had.
    ExternalApp app;
    app.title = m_title->text().toStdString();
    app.command = m_command->text().toStdString();
    app.arguments = m_arguments->text().toStdString();
    app.folder = m_folder->text().toStdString();
    app.launchPerFile = false;
    m_apps.push_back(app);
    m_list->addItem(QString::fromStdString(app.title));
    m_shown = -1;
    select(static_cast<int>(m_apps.size()) - 1);
    return true;
}

void AppRegisterDialog::removeEntry() {
    const int index = m_shown;
    if (index < 0)
        return;
    m_apps.erase(m_apps.begin() + index);
    m_selecting = true;
    delete m_list->takeItem(index);
    m_selecting = false;
    m_shown = -1;
    select(std::min(index, static_cast<int>(m_apps.size()) - 1));
}

void AppRegisterDialog::moveEntry(int how) {
    const int from = m_shown;
    const int last = static_cast<int>(m_apps.size()) - 1;
    if (from < 0)
        return;
    storeShown();
    const int to = how == -2 ? 0 : how == 2 ? last : std::clamp(from + how, 0, last);
    if (to == from)
        return;
    ExternalApp moved = std::move(m_apps[static_cast<std::size_t>(from)]);
    m_apps.erase(m_apps.begin() + from);
    m_apps.insert(m_apps.begin() + to, std::move(moved));
    m_selecting = true;
    QListWidgetItem* item = m_list->takeItem(from);
    m_list->insertItem(to, item);
    m_selecting = false;
    m_shown = -1;
    select(to);
}

void AppRegisterDialog::insertArgumentMacro(const QString& macro) {
    m_arguments->insert(macro);
    m_arguments->setFocus();
}

void AppRegisterDialog::showArgumentMenu() {
    QMenu menu(this);
    for (const MacroItem& item : kArgumentMacros) {
        const QString macro = QString::fromUtf8(item.macro);
        connect(menu.addAction(QString::fromUtf8(item.text)), &QAction::triggered, this,
                [this, macro] { insertArgumentMacro(macro); });
    }
    menu.exec(QCursor::pos());
}

void AppRegisterDialog::showFolderMenu() {
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("画像フォルダ(&D)")), &QAction::triggered, this,
            [this] { m_folder->setText(QStringLiteral("$(PicDir)")); });
    connect(menu.addAction(QStringLiteral("参照(&R)...")), &QAction::triggered, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("実行時のフォルダ選択"), m_folder->text());
        if (!chosen.isEmpty())
            m_folder->setText(chosen);
    });
    menu.exec(QCursor::pos());
}

void AppRegisterDialog::chooseProgram() {
    std::string chosen;
    if (m_programChooser) {
        chosen = m_programChooser();
    } else {
        QFileDialog dialog(this, QStringLiteral("登録アプリケーションの選択"),
                           QCoreApplication::applicationDirPath());
        dialog.setFileMode(QFileDialog::ExistingFile);
        // Executable files are what a command can be; the name says nothing
        // about that here, so the dialog looks at the permission bits.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters({QStringLiteral("実行ﾌｧｲﾙ (*)"), QStringLiteral("all files (*)")});
        dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
            const QDir::Filters executable =
                QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot;
            dialog.setFilter(f.startsWith(QStringLiteral("all"))
                                 ? QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot
                                 : executable);
        });
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().front().toStdString();
    }
    if (chosen.empty())
        return;
    m_command->setText(QString::fromStdString(quotedCommand(chosen)));
}

bool AppRegisterDialog::tryClose() {
    if (m_title->text().isEmpty()) {
        showWarning(this, "タイトルを設定してください");
        return false;
    }
    if (m_command->text().isEmpty()) {
        showWarning(this, "コマンドを設定してください");
        return false;
    }
    storeShown();
    writeExternalApps(m_settings, m_apps, m_readCount);
    accept();
    return true;
}

int runExternalApp(QWidget* parent, FolderDocument& document, SettingsStore& settings, int index,
                   std::span<const int> positions) {
    const std::vector<ExternalApp> apps = readExternalApps(settings);
    if (index < 0 || index >= static_cast<int>(apps.size()))
        return 0;
    std::vector<int> ordered(positions.begin(), positions.end());
    std::sort(ordered.begin(), ordered.end());
    std::vector<const PictureSource*> entries;
    for (const int position : ordered)
        entries.push_back(document.entryAt(position));
    return launchExternalApp(apps[static_cast<std::size_t>(index)], entries, startDetachedProcess,
                             [parent](const std::string& text) {
                                 QMessageBox box(
                                     QMessageBox::Information, QStringLiteral("起動に失敗しました"),
                                     QString::fromStdString(text), QMessageBox::Ok, parent);
                                 box.exec();
                             });
}

} // namespace vemra
