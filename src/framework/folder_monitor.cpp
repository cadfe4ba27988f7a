#include "framework/folder_monitor.h"

#include "platform/folder_watch.h"
#include "platform/own_file_operations.h"
#include "platform/tree_children.h"

#include <QSocketNotifier>

#include <array>
#include <chrono>
#include <strings.h>

namespace vemra {
namespace {

// Sub-folders deeper than this are not watched: a monitor of a whole disk
// would hold the interface thread for minutes.
constexpr int kMaxWatchDepth = 32;

} // namespace

FolderMonitor::FolderMonitor(QObject* parent) : QObject(parent) {
    m_timer.setInterval(ChangeBurst::kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &FolderMonitor::tick);
    // Notices of the program's own operation may still wait in the kernel
    // when it ends: they are thrown away then, before the event loop reads
    // them as someone else's.
    m_ownEndListener = OwnFileOperation::addEndListener([this] {
        if (m_watch) {
            m_watch->drain();
        }
    });
}

FolderMonitor::~FolderMonitor() {
    OwnFileOperation::removeEndListener(m_ownEndListener);
    stop();
}

bool FolderMonitor::isOwnFileName(std::string_view name) {
    static constexpr std::array<std::string_view, 3> kOwned = {"DIRINFO.KPI", "_THUMBS_.KPI",
                                                               "_NOTE_.KPI"};
    for (std::string_view owned : kOwned) {
        // The file itself, or the temporary one it is written through.
        if (name.size() >= owned.size() &&
            strncasecmp(name.data(), owned.data(), owned.size()) == 0 &&
            (name.size() == owned.size() || name[owned.size()] == '.')) {
            return true;
        }
    }
    return false;
}

std::int64_t FolderMonitor::now() const {
    if (m_clock) {
        return m_clock();
    }
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FolderMonitor::watch(const std::string& folder, bool subFolders) {
    if (folder == m_folder && subFolders == m_subFolders && m_watch) {
        return;
    }
    stop();
    if (folder.empty()) {
        return;
    }
    m_watch = std::make_unique<FolderWatch>();
    if (!m_watch->valid() || m_watch->add(folder, WatchKind::Files) < 0) {
        // The folder cannot be watched: it is simply not watched.
        m_watch.reset();
        return;
    }
    m_folder = folder;
    m_subFolders = subFolders;
    if (subFolders) {
        addTree(folder, 0);
    }
    m_notifier = new QSocketNotifier(m_watch->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderMonitor::readNotices);
}

void FolderMonitor::addTree(const std::string& folder, int depth) {
    if (depth >= kMaxWatchDepth) {
        return;
    }
    TreeChildQuery query;
    query.checkChildren = false;
    for (const TreeChild& child : listTreeChildren(folder, query)) {
        const std::string path = (folder == "/" ? folder : folder + "/") + child.name;
        if (m_watch->count() >= FolderWatch::kMaxWatches) {
            return;
        }
        if (m_watch->watchOf(path) < 0 && m_watch->add(path, WatchKind::Files) >= 0) {
            addTree(path, depth + 1);
        }
    }
}

void FolderMonitor::stop() {
    delete m_notifier;
    m_notifier = nullptr;
    m_watch.reset();
    m_timer.stop();
    m_burst.reset();
    m_folder.clear();
    m_subFolders = false;
}

int FolderMonitor::watchedCount() const {
    return m_watch ? static_cast<int>(m_watch->count()) : 0;
}

void FolderMonitor::readNotices() {
    if (!m_watch) {
        return;
    }
    const std::vector<FolderChange> changes = m_watch->read();
    if (OwnFileOperation::running()) {
        return;
    }
    bool relevant = false;
    for (const FolderChange& change : changes) {
        if (!change.name.empty() && isOwnFileName(change.name)) {
            continue;
        }
        relevant = true;
        // A folder made below a watched one is watched from now on.
        if (m_subFolders && change.isFolder && change.created && change.watch >= 0) {
            const std::string parent = m_watch->folderOf(change.watch);
            if (!parent.empty()) {
                const std::string path = (parent == "/" ? parent : parent + "/") + change.name;
                if (m_watch->add(path, WatchKind::Files) >= 0) {
                    addTree(path, 1);
                }
            }
        }
    }
    if (relevant) {
        noticeChange();
    }
}

void FolderMonitor::noticeChange() {
    if (m_burst.notice(now(), m_entryCount ? m_entryCount() : 0)) {
        m_timer.start();
    }
}

void FolderMonitor::tick() {
    if (m_busy && m_busy()) {
        return;
    }
    if (m_burst.tick(now())) {
        m_timer.stop();
        emit changed();
    }
}

} // namespace vemra
