#pragma once

#include "framework/document_base.h"
#include "platform/mounted_volumes.h"
#include "views/folder_tree_options.h"
#include "views/quick_access_list.h"

#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QMimeData;
class QSocketNotifier;
class QTimer;

namespace vemra {

class FolderDocument;
class FolderWatch;
class SettingsStore;
struct TreeChild;

// The left pane: the folders from which the user picks the one the document
// shows. Two kinds, chosen by "DrvView" "ShellTree":
// - the desktop tree: one "デスクトップ" item holding Home, the Desktop and
//   Pictures folders, "/" and every mounted volume;
// - the drive tree: "/" and the mount points of the mounted volumes as
//   roots, optionally labelled with the volume's name, archive files as
//   items that open as folders ("DriveView" "ArcTree"), and folders created,
//   deleted or renamed elsewhere appearing by themselves ("Monitoring").
// Both show hidden folders, read folders synchronously (a path selected is
// there when the call returns) and offer the same context menu: create,
// delete and rename a folder, and the quick-access list.
class FolderTree : public QTreeWidget, public DocumentView {
    Q_OBJECT
public:
    enum class Kind { Desktop, Drives };
    // What an item stands for.
    enum class ItemKind { Virtual, Root, Folder, Archive };

    // The answer to "which name?" of the create and rename dialogs; nothing
    // when cancelled.
    enum class NamePurpose { Create, Rename };
    using NameAsker = std::function<std::optional<std::string>(NamePurpose, const std::string&)>;
    // Hands dropped files to the file operations: the paths, the folder to
    // put them in, and whether to move them. True when anything arrived.
    // The handler reads the shown folder again when the drop changed it
    // (files arrived in it or were moved out of it); the tree refreshes
    // only its own item.
    using DropHandler = std::function<bool(const std::vector<std::string>& paths,
                                           const std::string& target, bool move)>;
    // Shows a popup menu at a global point (tests record it instead).
    using MenuExec = std::function<void(QMenu& menu, QPoint global)>;

    FolderTree(FolderDocument& document, SettingsStore& settings, Kind kind,
               QWidget* parent = nullptr);
    ~FolderTree() override;

    Kind kind() const { return m_kind; }
    const FolderTreeOptions& options() const { return m_options; }
    // "DriveView" "Monitoring" from the options dialog: off stops every
    // watch at once; on watches the folders read from now on.
    void setMonitoring(bool on);
    const QuickAccessList& quickAccess() const { return m_quickAccess; }

    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;

    // --- test seams, set before build()
    // The mounted volumes (default: the kernel's mount table).
    void setVolumeSource(std::function<std::vector<MountedVolume>()> source);
    void setNameAsker(NameAsker asker) { m_askName = std::move(asker); }
    void setMenuExec(MenuExec exec) { m_menuExec = std::move(exec); }
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    bool hasDropHandler() const { return static_cast<bool>(m_dropHandler); }

    // Builds the roots afresh (start-up, hint 16).
    void build();

    // Makes the item of `path` (a folder, an archive, or a file whose folder
    // is meant) visible, reading and expanding each level on the way, makes
    // it current and, with `open`, opens it in the document. A path that
    // does not exist selects its nearest existing folder. False when no
    // root holds the path.
    bool selectPath(const std::string& path, bool open = true);
    bool selectFolder(const std::string& path) { return selectPath(path, true); }
    // The path of the current item; empty when none or a virtual one.
    std::string selectedFolder() const;
    // "DrvView" "Path", the quick-access keys and the tree's options.
    void saveState(SettingsStore& settings) const;

    // Compares the mounted volumes with those shown: items of vanished
    // volumes go, new ones come. The number inserted.
    int refreshDrives();
    // Reads again the sub-folders of every opened item under the root that
    // holds `path`.
    void refreshPath(const std::string& path);

    // The folder operations, on `item` (the current one when null). Drive
    // roots (and the desktop tree's top items) are refused silently. True on
    // success.
    bool createFolder(QTreeWidgetItem* item = nullptr);
    bool renameFolder(QTreeWidgetItem* item = nullptr);
    bool renameFolderTo(QTreeWidgetItem* item, const std::string& name);
    bool deleteFolder(QTreeWidgetItem* item = nullptr);
    // Alt+Up (Up) and Alt+Down (Down) select the folder shown above or
    // below the current one; Left and Right do nothing.
    void stepFolder(hint::Direction direction);

    // The quick-access list: add `item`'s folder; open entry `index`.
    bool addToQuickAccess(QTreeWidgetItem* item = nullptr);
    bool openQuickAccess(int index);

    // The context menu of `item` as it would show (the caller owns it).
    std::unique_ptr<QMenu> contextMenuFor(QTreeWidgetItem* item);

    // --- items
    static std::string pathOf(const QTreeWidgetItem* item);
    static ItemKind kindOf(const QTreeWidgetItem* item);
    // The item showing `path` among those read so far; null when none.
    QTreeWidgetItem* findItem(const std::string& path) const;
    // Whether the folder operations refuse `item` (a root, a virtual item).
    static bool isFixedItem(const QTreeWidgetItem* item);
    // Reads `item`'s children when that was not done yet.
    void populate(QTreeWidgetItem* item);
    // The folders watched for changes by the drive tree's monitoring.
    int watchedFolderCount() const;
    // Reads the monitor's waiting notices now and refreshes what changed.
    void readFolderNotices();

    // --- drag and drop (folder_tree_drag.cpp)
    // The data a drag of `item` offers: its path as a file list.
    static std::unique_ptr<QMimeData> dragData(const std::string& path);
    // What a drop of `data` with `modifiers` would do: copy, move or nothing.
    Qt::DropAction dropActionFor(const QMimeData& data, Qt::KeyboardModifiers modifiers) const;
    // Drops `data` on the folder of `item`. True when anything arrived.
    bool dropOn(QTreeWidgetItem* item, const QMimeData& data, Qt::DropAction action);

signals:
    // A text for a pane of the status bar.
    void statusText(int pane, const QString& text);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // In-place editing renames the folder; roots are not edited.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;

private:
    // --- roots (folder_tree_roots.cpp)
    std::vector<MountedVolume> volumes() const;
    QTreeWidgetItem* makeVolumeItem(const MountedVolume& volume);
    QTreeWidgetItem* makeRootItem(const QString& text, const std::string& path);
    QTreeWidgetItem* rootFor(const std::string& path) const;
    // A volume's item that was taken out or replaced collapses and loses its
    // children; false when it is not ready.
    bool checkVolume(QTreeWidgetItem* item);
    QTreeWidgetItem* volumeItemOf(QTreeWidgetItem* item) const;
    std::vector<QTreeWidgetItem*> volumeItems() const;
    // The items of "/", the volumes and (desktop tree) the user's folders.
    std::vector<QTreeWidgetItem*> rootItems() const;

    // --- items and their children (folder_tree.cpp)
    QTreeWidgetItem* makeChildItem(const TreeChild& child, const std::string& parentPath);
    // The items of the children of `path`, in the order they show.
    QList<QTreeWidgetItem*> readChildren(const std::string& path);
    void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);
    void refreshItem(QTreeWidgetItem* item, int depth);
    void resetChildren(QTreeWidgetItem* item);
    void onCurrentChanged(QTreeWidgetItem* current);
    void openItem(QTreeWidgetItem* item);
    void onExpanded(QTreeWidgetItem* item);
    void onCollapsed(QTreeWidgetItem* item);
    QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const std::string& name);
    void selectQuietly(QTreeWidgetItem* item);
    void keepInSight();
    bool childQueryArchives() const;

    // --- monitoring of the drive tree (folder_tree_roots.cpp)
    void watchItem(QTreeWidgetItem* item);
    void unwatchBelow(QTreeWidgetItem* item);
    void restartMonitors();

    // --- operations (folder_tree_commands.cpp)
    std::optional<std::string> askName(NamePurpose purpose, const std::string& folder);
    void afterOperation(QTreeWidgetItem* parent, const std::string& select);

    // --- drag (folder_tree_drag.cpp)
    void startDrag(QTreeWidgetItem* item);
    // Accepts `event` with the action a drop on `target` takes, or ignores it.
    Qt::DropAction answerDrop(QDropEvent& event, QTreeWidgetItem* target) const;
    void setDropHighlight(QTreeWidgetItem* item);
    void autoScrollFor(QPoint point);

    FolderDocument& m_document;
    SettingsStore& m_settings;
    Kind m_kind;
    FolderTreeOptions m_options;
    QuickAccessList m_quickAccess;
    std::function<std::vector<MountedVolume>()> m_volumeSource;
    NameAsker m_askName;
    MenuExec m_menuExec;
    DropHandler m_dropHandler;

    bool m_ready = true;    // false while the tree itself expands and selects
    bool m_started = false; // start-up finished, or a path was asked for
    std::string m_editPath; // the folder being renamed in place
    // A folder the program selected stays in sight while the pane is laid
    // out, until the user clicks into the tree.
    bool m_keepInSight = false;
    // Items are held by path between events: a monitor may read the tree
    // anew meanwhile and delete them.
    std::string m_dropPath; // drop-highlighted during a drag
    QPoint m_pressPoint;
    std::string m_pressPath; // where the left button went down

    QIcon m_folderIcon;
    QIcon m_openFolderIcon;
    QIcon m_archiveIcon;

    std::unique_ptr<FolderWatch> m_watch;
    QSocketNotifier* m_watchNotifier = nullptr;
    QTimer* m_noticeTimer = nullptr;
    std::vector<std::string> m_changedFolders;
};

} // namespace vemra
