#include "views/folder_tree.h"

#include "document/folder_document.h"
#include "document/scan_services.h"
#include "platform/file_status.h"
#include "platform/folder_watch.h"
#include "platform/tree_children.h"
#include "platform/wildcard.h"
#include "views/folder_tree_items.h"

#include <QCollator>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace vemra {

using namespace folder_tree_items;

namespace {

// Folder names in the order a file manager shows them: by the Japanese
// collation, ignoring case, numbers by their value ("2" before "10").
const QCollator& nameCollator() {
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::Japanese, QLocale::Japan)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator;
}

// Clears a flag for its lifetime and puts the old value back.
class FlagOff {
public:
    explicit FlagOff(bool& flag) : m_flag(flag), m_old(flag) { m_flag = false; }
    ~FlagOff() { m_flag = m_old; }
    FlagOff(const FlagOff&) = delete;
    FlagOff& operator=(const FlagOff&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

// The item shown just above `item`: the previous sibling's last shown
// descendant, else the parent.
QTreeWidgetItem* shownAbove(QTreeWidget& tree, QTreeWidgetItem* item) {
    QTreeWidgetItem* parent = item->parent() != nullptr ? item->parent() : tree.invisibleRootItem();
    const int index = parent->indexOfChild(item);
    if (index <= 0) {
        return item->parent();
    }
    QTreeWidgetItem* above = parent->child(index - 1);
    for (int depth = 0; depth < 4096 && above->isExpanded() && above->childCount() > 0; ++depth) {
        above = above->child(above->childCount() - 1);
    }
    return above;
}

// The item shown just below `item`: its first child when it is open, else
// the next sibling of it or of its nearest ancestor that has one.
QTreeWidgetItem* shownBelow(QTreeWidget& tree, QTreeWidgetItem* item) {
    if (item->isExpanded() && item->childCount() > 0) {
        return item->child(0);
    }
    for (int depth = 0; item != nullptr && depth < 4096; ++depth) {
        QTreeWidgetItem* parent =
            item->parent() != nullptr ? item->parent() : tree.invisibleRootItem();
        const int index = parent->indexOfChild(item);
        if (index + 1 < parent->childCount()) {
            return parent->child(index + 1);
        }
        item = item->parent();
    }
    return nullptr;
}

std::string normalised(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

} // namespace

FolderTree::FolderTree(FolderDocument& document, SettingsStore& settings, Kind kind,
                       QWidget* parent)
    : QTreeWidget(parent), m_document(document), m_settings(settings), m_kind(kind),
      m_options(FolderTreeOptions::load(settings)), m_quickAccess(QuickAccessList::load(settings)) {
    setObjectName(QStringLiteral("folderTree"));
    // Made once: a folder of ten thousand sub-folders would otherwise ask
    // the style ten thousand times.
    m_folderIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_openFolderIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    m_archiveIcon = QIcon::fromTheme(QStringLiteral("package-x-generic"),
                                     style()->standardIcon(QStyle::SP_FileIcon));
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // F2 or a second click on the current item edits its name in place.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // Drags are started and taken here (folder_tree_drag.cpp), not by the
    // item view's own model-based drag and drop.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(100);
    connect(m_noticeTimer, &QTimer::timeout, this, [this] {
        std::vector<std::string> folders;
        folders.swap(m_changedFolders);
        for (const std::string& folder : folders) {
            if (QTreeWidgetItem* item = findItem(folder)) {
                refreshItem(item, 0);
            }
        }
    });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { onCurrentChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::onExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &FolderTree::onCollapsed);
    document.addView(this);
    build();
}

FolderTree::~FolderTree() {
    m_watchNotifier = nullptr;
    m_watch.reset();
    if (document() != nullptr) {
        document()->removeView(this);
    }
}

void FolderTree::onUpdate(DocumentView*, const UpdateHint& update) {
    visitHint(
        update, [this](const hint::SelectFolder& select) { selectPath(select.path, true); },
        [this](const hint::RefreshDrives&) { refreshDrives(); },
        [this](const hint::StartupFinished&) {
            m_started = true;
            emit statusText(2, QStringLiteral("フォルダ情報を検索しています"));
            build();
            if (!m_document.currentFolder().empty()) {
                selectPath(m_document.currentFolder(), true);
            }
        },
        [this](const hint::CreateFolder&) { createFolder(); },
        [this](const hint::RenameFolder&) { renameFolder(); },
        [this](const hint::DeleteFolder&) { deleteFolder(); },
        [this](const hint::FolderStep& step) { stepFolder(step.direction); });
}

// --- items

std::string FolderTree::pathOf(const QTreeWidgetItem* item) {
    return item == nullptr ? std::string() : item->data(0, kPathRole).toString().toStdString();
}

FolderTree::ItemKind FolderTree::kindOf(const QTreeWidgetItem* item) {
    return item == nullptr ? ItemKind::Virtual
                           : static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

bool FolderTree::isFixedItem(const QTreeWidgetItem* item) {
    const ItemKind kind = kindOf(item);
    if (kind == ItemKind::Virtual || kind == ItemKind::Root) {
        return true;
    }
    // A folder a volume is mounted on is that volume's root.
    const std::string path = pathOf(item);
    return path.size() <= 1 || volumeSerial(path) != volumeSerial(parentPath(path));
}

std::string FolderTree::selectedFolder() const {
    return pathOf(currentItem());
}

bool FolderTree::childQueryArchives() const {
    return m_kind == Kind::Drives && m_options.arcTree;
}

QTreeWidgetItem* FolderTree::makeChildItem(const TreeChild& child, const std::string& parentPath) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(child.name)});
    item->setData(0, kPathRole, QString::fromStdString(joinPath(parentPath, child.name)));
    item->setData(0, kKindRole,
                  static_cast<int>(child.isArchive ? ItemKind::Archive : ItemKind::Folder));
    item->setIcon(0, child.isArchive ? m_archiveIcon : m_folderIcon);
    item->setChildIndicatorPolicy(child.hasChildren ? QTreeWidgetItem::ShowIndicator
                                                    : QTreeWidgetItem::DontShowIndicator);
    if (!child.isArchive) {
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    return item;
}

QList<QTreeWidgetItem*> FolderTree::readChildren(const std::string& path) {
    TreeChildQuery query;
    query.checkChildren = m_kind == Kind::Drives || m_options.checkSubFolder;
    if (childQueryArchives()) {
        const std::string masks = m_document.services().archiveExtensions();
        if (!masks.empty()) {
            query.isArchiveName = [masks](std::string_view name) {
                return matchesWildcardList(name, masks);
            };
        }
    }
    std::vector<TreeChild> children = listTreeChildren(path, query);
    // Sort keys once per name rather than a collation per comparison.
    const QCollator& collator = nameCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(children.size());
    for (const TreeChild& child : children) {
        keys.push_back(collator.sortKey(QString::fromStdString(child.name)));
    }
    std::vector<std::size_t> order(children.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(children.size()));
    for (std::size_t i : order) {
        items.push_back(makeChildItem(children[i], path));
    }
    return items;
}

void FolderTree::populate(QTreeWidgetItem* item) {
    if (item == nullptr || item->data(0, kReadRole).toBool()) {
        return;
    }
    item->setData(0, kReadRole, true);
    const std::string path = pathOf(item);
    if (path.empty() || kindOf(item) == ItemKind::Archive) {
        return;
    }
    const QList<QTreeWidgetItem*> items = readChildren(path);
    item->addChildren(items);
    if (items.isEmpty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    watchItem(item);
}

void FolderTree::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    const QCollator& collator = nameCollator();
    int low = 0;
    int high = parent->childCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (collator.compare(parent->child(middle)->text(0), child->text(0)) <= 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    parent->insertChild(low, child);
}

void FolderTree::resetChildren(QTreeWidgetItem* item) {
    const FlagOff quiet(m_ready);
    unwatchBelow(item);
    item->setExpanded(false);
    qDeleteAll(item->takeChildren());
    item->setData(0, kReadRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void FolderTree::refreshItem(QTreeWidgetItem* item, int depth) {
    if (item == nullptr || depth > 64) {
        return;
    }
    if (kindOf(item) == ItemKind::Virtual) {
        for (int i = 0; i < item->childCount(); ++i) {
            refreshItem(item->child(i), depth + 1);
        }
        return;
    }
    const std::string path = pathOf(item);
    if (!item->data(0, kReadRole).toBool() || kindOf(item) == ItemKind::Archive) {
        return;
    }
    const FlagOff quiet(m_ready);
    // In place: items that went are deleted, new ones put where they sort,
    // and those still there keep what was read below them, their expanded
    // state and the selection.
    QList<QTreeWidgetItem*> fresh = readChildren(path);
    auto sameItem = [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return pathOf(a) == pathOf(b) && kindOf(a) == kindOf(b);
    };
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = item->child(i);
        if (std::none_of(fresh.begin(), fresh.end(),
                         [&](const QTreeWidgetItem* f) { return sameItem(f, child); })) {
            unwatchBelow(child);
            delete item->takeChild(i);
        }
    }
    for (QTreeWidgetItem* f : fresh) {
        QTreeWidgetItem* present = nullptr;
        for (int i = 0; i < item->childCount() && present == nullptr; ++i) {
            if (sameItem(item->child(i), f)) {
                present = item->child(i);
            }
        }
        if (present == nullptr) {
            insertSorted(item, f);
            continue;
        }
        if (present->data(0, kReadRole).toBool()) {
            // Open or not, what was read below it is read again: it stays
            // watched and keeps what the selection shows.
            refreshItem(present, depth + 1);
        } else {
            present->setChildIndicatorPolicy(f->childIndicatorPolicy());
        }
        delete f;
    }
    item->setChildIndicatorPolicy(item->childCount() > 0 ? QTreeWidgetItem::ShowIndicator
                                                         : QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* FolderTree::childNamed(QTreeWidgetItem* parent, const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        // Paths name items exactly; the text of a root may be a label.
        if (kindOf(child) != ItemKind::Virtual && pathOf(child) == joinPath(pathOf(parent), name)) {
            return child;
        }
        if (kindOf(child) != ItemKind::Virtual && child->text(0) == wanted &&
            pathOf(child).empty()) {
            return child;
        }
    }
    return nullptr;
}

QTreeWidgetItem* FolderTree::findItem(const std::string& wanted) const {
    const std::string path = normalised(wanted);
    QTreeWidgetItem* item = rootFor(path);
    while (item != nullptr && pathOf(item) != path) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && next == nullptr; ++i) {
            if (isUnder(path, pathOf(item->child(i)))) {
                next = item->child(i);
            }
        }
        item = next;
    }
    return item;
}

void FolderTree::selectQuietly(QTreeWidgetItem* item) {
    const FlagOff quiet(m_ready);
    setCurrentItem(item);
}

bool FolderTree::selectPath(const std::string& wanted, bool open) {
    m_started = true;
    const std::string path = normalised(wanted);
    QTreeWidgetItem* item = rootFor(path);
    if (item == nullptr) {
        return false;
    }
    {
        const FlagOff quiet(m_ready);
        // Down the path one level at a time, reading each on the way; the
        // walk ends at the deepest item that exists.
        for (int depth = 0; depth < 4096 && pathOf(item) != path; ++depth) {
            const std::string at = pathOf(item);
            const std::size_t from = at == "/" ? 1 : at.size() + 1;
            const std::string name = path.substr(from, path.find('/', from) - from);
            populate(item);
            QTreeWidgetItem* child = childNamed(item, name);
            if (child == nullptr) {
                break;
            }
            item->setExpanded(true);
            item = child;
        }
        // Its children are read too, so its expand button tells the truth.
        populate(item);
        setCurrentItem(item);
    }
    keepInSight();
    if (open) {
        // A file the tree does not show (an archive while archives are not
        // listed, a picture) opens as the document opens files: alone.
        const std::string shown = pathOf(item);
        if (shown != path && parentPath(path) == shown && isExistingFile(path)) {
            m_document.openFolder(path, this, m_document.options().cacheFolder);
        } else {
            openItem(item);
        }
    }
    return true;
}

void FolderTree::keepInSight() {
    m_keepInSight = true;
    scrollToItem(currentItem());
    // Once more after the pending layout: a pane not yet laid out (just
    // created or shown) cannot scroll to a row yet.
    QTimer::singleShot(0, this, [this] {
        if (m_keepInSight && currentItem() != nullptr) {
            scrollToItem(currentItem());
        }
    });
}

void FolderTree::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    if (m_keepInSight && currentItem() != nullptr) {
        scrollToItem(currentItem());
    }
}

void FolderTree::onCurrentChanged(QTreeWidgetItem* current) {
    // Before start-up has finished the view may make its first row current
    // on its own (when it is shown or gets the focus); that is no request
    // to open a folder.
    if (current == nullptr || !m_ready || !m_started) {
        return;
    }
    openItem(current);
}

void FolderTree::openItem(QTreeWidgetItem* item) {
    const std::string path = pathOf(item);
    if (path.empty()) {
        return; // the desktop item: no folder of its own
    }
    if (QTreeWidgetItem* volume = volumeItemOf(item); volume != nullptr && !checkVolume(volume)) {
        // The volume went or changed: its items were reset, and the path
        // is looked up afresh.
        selectQuietly(volume);
        if (volume != item && isExistingFolder(path)) {
            selectPath(path, false);
        }
    } else if (!fileStatus(path)) {
        // Gone meanwhile: what was read below it goes too.
        resetChildren(item);
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    m_document.openFolder(path, this, m_document.options().cacheFolder);
}

void FolderTree::onExpanded(QTreeWidgetItem* item) {
    if (QTreeWidgetItem* volume = volumeItemOf(item); volume != nullptr && m_ready) {
        if (!checkVolume(volume) && !isExistingFolder(pathOf(item))) {
            return; // not ready: stays collapsed
        }
    }
    populate(item);
    if (kindOf(item) == ItemKind::Folder) {
        item->setIcon(0, m_openFolderIcon);
    }
}

void FolderTree::onCollapsed(QTreeWidgetItem* item) {
    if (kindOf(item) == ItemKind::Folder) {
        item->setIcon(0, m_folderIcon);
    }
}

void FolderTree::stepFolder(hint::Direction direction) {
    QTreeWidgetItem* current = currentItem();
    if (current == nullptr) {
        return;
    }
    QTreeWidgetItem* next = nullptr;
    if (direction == hint::Direction::Up) {
        next = shownAbove(*this, current);
    } else if (direction == hint::Direction::Down) {
        next = shownBelow(*this, current);
    }
    if (next != nullptr) {
        m_started = true;
        setCurrentItem(next);
        scrollToItem(next);
    }
}

void FolderTree::saveState(SettingsStore& settings) const {
    const std::string folder = selectedFolder();
    if (!folder.empty()) {
        settings.putText("DrvView", "Path", folder);
    }
    m_quickAccess.save(settings);
    m_options.save(settings);
}

} // namespace vemra
