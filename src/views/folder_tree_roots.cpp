#include "views/folder_tree.h"

#include "platform/file_status.h"
#include "platform/folder_watch.h"
#include "views/folder_tree_items.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace vemra {

using namespace folder_tree_items;

namespace {

// The name a volume goes by: its label, else its device's name.
QString volumeLabel(const std::string& mountPoint, const std::string& device) {
    const QStorageInfo storage(QString::fromStdString(mountPoint));
    if (!storage.name().isEmpty()) {
        return storage.name();
    }
    const auto slash = device.find_last_of('/');
    return QString::fromStdString(slash == std::string::npos ? device : device.substr(slash + 1));
}

QString lastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

void FolderTree::setVolumeSource(std::function<std::vector<MountedVolume>()> source) {
    m_volumeSource = std::move(source);
    build();
}

std::vector<MountedVolume> FolderTree::volumes() const {
    return m_volumeSource ? m_volumeSource() : userVolumes(readMountTable());
}

QTreeWidgetItem* FolderTree::makeRootItem(const QString& text, const std::string& path) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kPathRole, QString::fromStdString(path));
    item->setData(0, kKindRole, static_cast<int>(ItemKind::Root));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    item->setIcon(0,
                  style()->standardIcon(path == "/" ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon));
    return item;
}

QTreeWidgetItem* FolderTree::makeVolumeItem(const MountedVolume& volume) {
    const QString label = volumeLabel(volume.mountPoint, volume.device);
    QString text;
    if (m_kind == Kind::Desktop) {
        text = label.isEmpty() ? lastComponent(volume.mountPoint) : label;
    } else {
        text = QString::fromStdString(volume.mountPoint);
        if (m_options.displayName && !label.isEmpty()) {
            text += QLatin1Char(' ') + label;
        }
    }
    QTreeWidgetItem* item = makeRootItem(text, volume.mountPoint);
    item->setData(0, kVolumeRole, true);
    item->setData(0, kSerialRole, static_cast<uint>(volumeSerial(volume.mountPoint)));
    const bool network =
        volume.device.find(':') != std::string::npos || volume.device.rfind("//", 0) == 0;
    const bool removable =
        isUnder(volume.mountPoint, "/media") || isUnder(volume.mountPoint, "/run/media");
    item->setIcon(0, style()->standardIcon(network     ? QStyle::SP_DriveNetIcon
                                           : removable ? QStyle::SP_DriveFDIcon
                                                       : QStyle::SP_DriveHDIcon));
    return item;
}

void FolderTree::build() {
    const bool wasReady = m_ready;
    m_ready = false;
    const std::string current = selectedFolder();
    restartMonitors();
    clear();
    if (m_kind == Kind::Desktop) {
        auto* desktop = new QTreeWidgetItem(QStringList{QStringLiteral("デスクトップ")});
        desktop->setData(0, kKindRole, static_cast<int>(ItemKind::Virtual));
        desktop->setData(0, kReadRole, true);
        desktop->setIcon(0, style()->standardIcon(QStyle::SP_DesktopIcon));
        addTopLevelItem(desktop);
        const std::string home = QDir::homePath().toStdString();
        QTreeWidgetItem* homeItem = makeRootItem(QStringLiteral("ホーム"), home);
        homeItem->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
        desktop->addChild(homeItem);
        for (const auto location :
             {QStandardPaths::DesktopLocation, QStandardPaths::PicturesLocation}) {
            const std::string path = QStandardPaths::writableLocation(location).toStdString();
            if (!path.empty() && path != home && isExistingFolder(path)) {
                desktop->addChild(makeRootItem(lastComponent(path), path));
            }
        }
        desktop->addChild(makeRootItem(QStringLiteral("/"), "/"));
        for (const MountedVolume& volume : volumes()) {
            desktop->addChild(makeVolumeItem(volume));
        }
        desktop->setExpanded(true);
    } else {
        QString rootText = QStringLiteral("/");
        if (m_options.displayName) {
            for (const MountedVolume& v : readMountTable()) {
                if (v.mountPoint == "/") {
                    const QString label = volumeLabel("/", v.device);
                    if (!label.isEmpty()) {
                        rootText += QLatin1Char(' ') + label;
                    }
                }
            }
        }
        addTopLevelItem(makeRootItem(rootText, "/"));
        for (const MountedVolume& volume : volumes()) {
            addTopLevelItem(makeVolumeItem(volume));
        }
    }
    if (!current.empty()) {
        selectPath(current, false);
    }
    m_ready = wasReady;
}

std::vector<QTreeWidgetItem*> FolderTree::rootItems() const {
    std::vector<QTreeWidgetItem*> roots;
    const QTreeWidgetItem* container =
        m_kind == Kind::Desktop ? topLevelItem(0) : invisibleRootItem();
    for (int i = 0; container != nullptr && i < container->childCount(); ++i) {
        roots.push_back(container->child(i));
    }
    return roots;
}

std::vector<QTreeWidgetItem*> FolderTree::volumeItems() const {
    std::vector<QTreeWidgetItem*> items = rootItems();
    std::erase_if(items,
                  [](const QTreeWidgetItem* i) { return !i->data(0, kVolumeRole).toBool(); });
    return items;
}

QTreeWidgetItem* FolderTree::rootFor(const std::string& path) const {
    QTreeWidgetItem* best = nullptr;
    std::size_t bestLength = 0;
    for (QTreeWidgetItem* root : rootItems()) {
        const std::string rootPath = pathOf(root);
        if (!rootPath.empty() && isUnder(path, rootPath) &&
            (best == nullptr || rootPath.size() > bestLength)) {
            best = root;
            bestLength = rootPath.size();
        }
    }
    return best;
}

QTreeWidgetItem* FolderTree::volumeItemOf(QTreeWidgetItem* item) const {
    for (int depth = 0; item != nullptr && depth < 4096; ++depth, item = item->parent()) {
        if (item->data(0, kVolumeRole).toBool()) {
            return item;
        }
    }
    return nullptr;
}

bool FolderTree::checkVolume(QTreeWidgetItem* volume) {
    const std::string mountPoint = pathOf(volume);
    const std::vector<MountedVolume> mounted = volumes();
    const bool present = std::any_of(mounted.begin(), mounted.end(), [&](const MountedVolume& v) {
        return v.mountPoint == mountPoint;
    });
    const std::uint32_t serial = present ? volumeSerial(mountPoint) : 0;
    const std::uint32_t stored = volume->data(0, kSerialRole).toUInt();
    if (serial == 0) {
        // Not ready (taken out, no disc): closed, with its expand button
        // kept so it can be tried again.
        volume->setData(0, kSerialRole, 0u);
        resetChildren(volume);
        return false;
    }
    volume->setData(0, kSerialRole, static_cast<uint>(serial));
    if (stored != 0 && stored != serial) {
        resetChildren(volume); // another disc: what was read is stale
        return false;
    }
    return true;
}

int FolderTree::refreshDrives() {
    const bool wasReady = m_ready;
    m_ready = false;
    const std::string current = selectedFolder();
    const std::vector<MountedVolume> mounted = volumes();
    for (QTreeWidgetItem* item : volumeItems()) {
        const std::string path = pathOf(item);
        if (std::none_of(mounted.begin(), mounted.end(),
                         [&](const MountedVolume& v) { return v.mountPoint == path; })) {
            unwatchBelow(item);
            delete item;
        }
    }
    QTreeWidgetItem* container = m_kind == Kind::Desktop ? topLevelItem(0) : invisibleRootItem();
    int inserted = 0;
    const std::vector<QTreeWidgetItem*> shown = volumeItems();
    for (const MountedVolume& volume : mounted) {
        if (container != nullptr &&
            std::none_of(shown.begin(), shown.end(), [&](const QTreeWidgetItem* item) {
                return pathOf(item) == volume.mountPoint;
            })) {
            container->addChild(makeVolumeItem(volume));
            ++inserted;
        }
    }
    if (!current.empty() && selectedFolder() != current) {
        selectPath(current, false);
    }
    m_ready = wasReady;
    return inserted;
}

// --- monitoring of the drive tree

void FolderTree::setMonitoring(bool on) {
    m_options.monitoring = on;
    if (!on)
        restartMonitors();
}

void FolderTree::restartMonitors() {
    delete m_watchNotifier;
    m_watchNotifier = nullptr;
    m_watch.reset();
    m_changedFolders.clear();
}

void FolderTree::watchItem(QTreeWidgetItem* item) {
    if (m_kind != Kind::Drives || !m_options.monitoring) {
        return;
    }
    if (!m_watch) {
        m_watch = std::make_unique<FolderWatch>();
        if (!m_watch->valid()) {
            m_watch.reset();
            return;
        }
        m_watchNotifier = new QSocketNotifier(m_watch->fd(), QSocketNotifier::Read, this);
        connect(m_watchNotifier, &QSocketNotifier::activated, this, &FolderTree::readFolderNotices);
    }
    m_watch->add(pathOf(item), WatchKind::FolderNames);
}

void FolderTree::unwatchBelow(QTreeWidgetItem* item) {
    if (!m_watch || item == nullptr) {
        return;
    }
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* at = pending.back();
        pending.pop_back();
        if (const int watch = m_watch->watchOf(pathOf(at)); watch >= 0) {
            m_watch->remove(watch);
        }
        for (int i = 0; i < at->childCount(); ++i) {
            if (at->child(i)->data(0, kReadRole).toBool()) {
                pending.push_back(at->child(i));
            }
        }
    }
}

int FolderTree::watchedFolderCount() const {
    return m_watch ? static_cast<int>(m_watch->count()) : 0;
}

void FolderTree::readFolderNotices() {
    if (!m_watch) {
        return;
    }
    auto note = [this](const std::string& folder) {
        if (!folder.empty() && std::find(m_changedFolders.begin(), m_changedFolders.end(),
                                         folder) == m_changedFolders.end()) {
            m_changedFolders.push_back(folder);
        }
    };
    for (const FolderChange& change : m_watch->read()) {
        if (change.overflow) {
            for (QTreeWidgetItem* root : rootItems()) {
                note(pathOf(root));
            }
            continue;
        }
        const std::string folder = m_watch->folderOf(change.watch);
        note(change.folderGone ? parentPath(folder) : folder);
    }
    if (!m_changedFolders.empty()) {
        // Changes come in bursts (a folder tree unpacked, copied): read
        // once they pause.
        if (!m_noticeTimer->isActive()) {
            m_noticeTimer->start();
        }
    }
}

} // namespace vemra
