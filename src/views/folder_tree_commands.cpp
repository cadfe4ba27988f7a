#include "views/folder_tree.h"

#include "document/folder_document.h"
#include "document/home_trash.h"
#include "framework/command_id.h"
#include "framework/command_table.h"
#include "framework/message_box.h"
#include "framework/progress_window.h"
#include "platform/file_status.h"
#include "platform/folder_operations.h"
#include "platform/own_file_operations.h"
#include "views/folder_name_dialog.h"
#include "views/folder_tree_items.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <cstdio>

namespace vemra {

using namespace folder_tree_items;

namespace {

// Where a keyboard-opened menu appears: just inside the tree's corner.
constexpr int kKeyboardMenuInset = 5;

// A path is shown as it is: "&" would otherwise be taken as a mnemonic.
QString menuText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::string formatted(const char* format, const std::string& value) {
    std::string text(format);
    const auto at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

} // namespace

std::optional<std::string> FolderTree::askName(NamePurpose purpose, const std::string& folder) {
    if (m_askName) {
        return m_askName(purpose, folder);
    }
    return FolderNameDialog::ask(purpose == NamePurpose::Create ? FolderNameDialog::Purpose::Create
                                                                : FolderNameDialog::Purpose::Rename,
                                 folder, this);
}

void FolderTree::afterOperation(QTreeWidgetItem* parent, const std::string& select) {
    if (parent != nullptr) {
        if (parent->data(0, kReadRole).toBool()) {
            refreshItem(parent, 0);
        } else {
            populate(parent);
        }
    }
    selectPath(select, true);
}

bool FolderTree::createFolder(QTreeWidgetItem* item) {
    if (item == nullptr) {
        item = currentItem();
    }
    const std::string folder = pathOf(item);
    if (folder.empty() || kindOf(item) == ItemKind::Archive) {
        return false;
    }
    const std::string path = folder;
    const std::optional<std::string> name = askName(NamePurpose::Create, path);
    if (!name || name->empty()) {
        return false;
    }
    const std::string created = joinPath(path, *name);
    int error = EINVAL;
    if (FolderNameDialog::isValidName(*name)) {
        const OwnFileOperation own;
        error = vemra::createFolder(created);
    }
    if (error != 0) {
        showError(this, formatted("%s フォルダの作成に失敗しました", *name));
        return false;
    }
    // The dialog ran an event loop: the item may have gone meanwhile.
    afterOperation(findItem(path), created);
    return true;
}

bool FolderTree::renameFolder(QTreeWidgetItem* item) {
    if (item == nullptr) {
        item = currentItem();
    }
    if (item == nullptr || isFixedItem(item) || kindOf(item) == ItemKind::Archive) {
        return false; // drive roots are never renamed
    }
    const std::string path = pathOf(item);
    const std::optional<std::string> name = askName(NamePurpose::Rename, path);
    QTreeWidgetItem* again = findItem(path);
    if (!name || again == nullptr) {
        return false;
    }
    return renameFolderTo(again, *name);
}

bool FolderTree::renameFolderTo(QTreeWidgetItem* item, const std::string& name) {
    if (item == nullptr || isFixedItem(item) || kindOf(item) == ItemKind::Archive || name.empty()) {
        return false;
    }
    const std::string path = pathOf(item);
    const std::string parent = parentPath(path);
    const std::string renamed = joinPath(parent, name);
    if (renamed == path) {
        return false;
    }
    int error = EINVAL;
    if (FolderNameDialog::isValidName(name)) {
        const OwnFileOperation own;
        error = vemra::renameFolder(path, renamed);
    }
    if (error != 0) {
        showError(this, formatted("%s フォルダの名前変更に失敗しました", name));
        return false;
    }
    afterOperation(item->parent(), renamed);
    return true;
}

bool FolderTree::deleteFolder(QTreeWidgetItem* item) {
    if (item == nullptr) {
        item = currentItem();
    }
    if (item == nullptr || isFixedItem(item) || kindOf(item) == ItemKind::Archive) {
        return false; // drive roots are never deleted
    }
    const std::string path = pathOf(item);
    // Selected afterwards: the next sibling, else the previous one, else
    // the parent; chosen now, while the item is there.
    QTreeWidgetItem* parent = item->parent();
    std::string next = parent != nullptr ? pathOf(parent) : std::string();
    if (parent != nullptr) {
        const int index = parent->indexOfChild(item);
        if (index + 1 < parent->childCount()) {
            next = pathOf(parent->child(index + 1));
        } else if (index > 0) {
            next = pathOf(parent->child(index - 1));
        }
    }
    const std::string parentFolder = parentPath(path);

    bool deleted = false;
    if (m_document.options().trashCan) {
        if (!askYesNo(this,
                      formatted("\"%s\"フォルダをごみ箱に移動します.\n\nよろしいですか？", path))) {
            return false;
        }
        const OwnFileOperation own;
        deleted = prepareHomeTrash().empty() && QFile::moveToTrash(QString::fromStdString(path));
        if (!deleted) {
            // No trash on this volume (a network share, a read-only one):
            // deleting for good is offered below, with its own question.
            showWarning(this, formatted("\"%s\"フォルダをごみ箱に移動できませんでした", path));
        }
    }
    if (!deleted) {
        if (!askYesNo(this, formatted("\"%s\"フォルダを削除します.\nフォルダにあるファイル、"
                                      "サブフォルダも全て削除します.\n\nよろしいですか？",
                                      path))) {
            return false;
        }
        const std::uint64_t files = countFilesBelow(path);
        ProgressWindow progress(this, "ファイル削除中...");
        progress.setRange(0, static_cast<int>(std::min<std::uint64_t>(files, 1'000'000'000)) + 1);
        progress.setStep(1);
        progress.setText(path);
        progress.show();
        int error = 0;
        {
            const OwnFileOperation own;
            error = removeFolderTree(path, [&progress] {
                progress.stepIt();
                return !progress.checkCancelButton();
            });
        }
        progress.hide();
        if (error != 0) {
            // Some of it may be gone: the tree shows what is left.
            refreshPath(parentFolder);
            if (error != ECANCELED) {
                showError(this, systemErrorText(error));
            }
            return false;
        }
    }
    afterOperation(findItem(parentFolder), next.empty() ? parentFolder : next);
    return true;
}

void FolderTree::refreshPath(const std::string& path) {
    QTreeWidgetItem* root = rootFor(path);
    if (root != nullptr) {
        refreshItem(root, 0);
    }
}

// --- quick access

bool FolderTree::addToQuickAccess(QTreeWidgetItem* item) {
    if (item == nullptr) {
        item = currentItem();
    }
    const std::string path = pathOf(item);
    if (path.empty() || !m_quickAccess.add(path)) {
        return false;
    }
    m_quickAccess.save(m_settings);
    return true;
}

bool FolderTree::openQuickAccess(int index) {
    const std::string path = m_quickAccess.choose(index);
    if (path.empty()) {
        return false;
    }
    m_quickAccess.save(m_settings);
    return selectPath(path, true);
}

// --- renaming in place

bool FolderTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (item == nullptr || isFixedItem(item) || kindOf(item) == ItemKind::Archive) {
        return false; // only folders that can be renamed are edited
    }
    if (!QTreeWidget::edit(index, trigger, event)) {
        return false;
    }
    m_editPath = pathOf(item);
    return true;
}

void FolderTree::commitData(QWidget* editor) {
    // The item's text is not set here: it changes when the folder does.
    const auto* line = qobject_cast<const QLineEdit*>(editor);
    const QTreeWidgetItem* item = findItem(m_editPath);
    if (line == nullptr || item == nullptr) {
        return;
    }
    const std::string name = line->text().toStdString();
    if (name.empty() || QString::fromStdString(name) == item->text(0)) {
        return;
    }
    // Once the editor has closed: the rename reads the folder's parent
    // again, and the edited item may go with that.
    QTimer::singleShot(0, this, [this, path = m_editPath, name] {
        if (QTreeWidgetItem* again = findItem(path)) {
            renameFolderTo(again, name);
        }
    });
}

// --- context menu

std::unique_ptr<QMenu> FolderTree::contextMenuFor(QTreeWidgetItem* item) {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("folderTreeMenu"));
    const std::string path = pathOf(item);
    QAction* title = menu->addAction(
        menuText(path.empty() && item != nullptr ? item->text(0).toStdString() : path));
    title->setEnabled(false);
    title->setObjectName(QStringLiteral("menuTitle"));
    menu->addSeparator();
    // The actions find their item again by path: a monitor may have read
    // the tree anew while the menu was open.
    auto add = [&](int id, auto run, bool enabled) {
        QAction* a = menu->addAction(QString::fromUtf8(
            commandText(id).data(), static_cast<qsizetype>(commandText(id).size())));
        a->setData(id);
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, [this, path, run] {
            if (QTreeWidgetItem* again = findItem(path); again != nullptr && !path.empty()) {
                (this->*run)(again);
            }
        });
    };
    const bool folder = !path.empty() && kindOf(item) != ItemKind::Archive;
    const bool changeable = folder && !isFixedItem(item);
    add(kCmdTreeNewFolder, &FolderTree::createFolder, folder);
    add(kCmdTreeDeleteFolder, &FolderTree::deleteFolder, changeable);
    add(kCmdTreeRenameFolder, &FolderTree::renameFolder, changeable);
    QAction* quick = menu->addAction(QStringLiteral("クイックアクセスリストに追加"));
    quick->setEnabled(!path.empty());
    connect(quick, &QAction::triggered, this, [this, path] {
        if (QTreeWidgetItem* again = findItem(path)) {
            addToQuickAccess(again);
        }
    });
    const std::vector<std::string>& entries = m_quickAccess.paths();
    if (!entries.empty()) {
        menu->addSeparator();
    }
    for (int n = 0; n < static_cast<int>(entries.size()); ++n) {
        QAction* entry = menu->addAction(menuText(entries[static_cast<std::size_t>(n)]));
        entry->setData(kCmdQuickAccessFirst + n);
        connect(entry, &QAction::triggered, this, [this, n] { openQuickAccess(n); });
    }
    return menu;
}

void FolderTree::contextMenuEvent(QContextMenuEvent* event) {
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    QTreeWidgetItem* item = keyboard ? currentItem() : itemAt(event->pos());
    event->accept();
    if (item == nullptr) {
        return;
    }
    const std::unique_ptr<QMenu> menu = contextMenuFor(item);
    const QPoint global = keyboard ? mapToGlobal(QPoint(kKeyboardMenuInset, kKeyboardMenuInset))
                                   : viewport()->mapToGlobal(event->pos());
    if (m_menuExec) {
        m_menuExec(*menu, global);
    } else {
        menu->exec(global);
    }
}

} // namespace vemra
