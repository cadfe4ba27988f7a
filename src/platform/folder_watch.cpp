#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace vemra {
namespace {

constexpr std::uint32_t kFileMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                    IN_ONLYDIR;
constexpr std::uint32_t kFolderNameMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                          IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FolderWatch::FolderWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int FolderWatch::add(const std::string& folder, WatchKind kind) {
    if (m_fd < 0 || folder.empty()) {
        return -1;
    }
    if (const int known = watchOf(folder); known >= 0) {
        return known;
    }
    if (m_paths.size() >= kMaxWatches) {
        return -1;
    }
    const int watch = inotify_add_watch(m_fd, folder.c_str(),
                                        kind == WatchKind::Files ? kFileMask : kFolderNameMask);
    if (watch < 0) {
        return -1;
    }
    m_paths[watch] = folder;
    return watch;
}

void FolderWatch::remove(int watch) {
    if (m_paths.erase(watch) > 0) {
        inotify_rm_watch(m_fd, watch);
    }
}

void FolderWatch::removeAll() {
    for (const auto& [watch, path] : m_paths) {
        inotify_rm_watch(m_fd, watch);
    }
    m_paths.clear();
}

std::string FolderWatch::folderOf(int watch) const {
    const auto found = m_paths.find(watch);
    return found == m_paths.end() ? std::string() : found->second;
}

int FolderWatch::watchOf(const std::string& folder) const {
    for (const auto& [watch, path] : m_paths) {
        if (path == folder) {
            return watch;
        }
    }
    return -1;
}

std::vector<FolderChange> FolderWatch::read(std::size_t limit) {
    std::vector<FolderChange> changes;
    if (m_fd < 0) {
        return changes;
    }
    alignas(inotify_event) std::array<char, 16384> buffer;
    while (changes.size() < limit) {
        const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
        if (got <= 0) {
            break; // EAGAIN: nothing more waiting
        }
        const auto size = static_cast<std::size_t>(got);
        std::size_t at = 0;
        // Each record is a header plus a NUL-padded name of `len` bytes; a
        // record that claims more than was read ends the batch.
        while (at + sizeof(inotify_event) <= size) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const std::size_t next = at + sizeof(inotify_event) + event.len;
            if (next > size) {
                break;
            }
            const char* name = buffer.data() + at + sizeof(inotify_event);
            at = next;
            if (event.mask & IN_IGNORED) {
                // The kernel dropped the watch (its folder went, or the
                // file system was unmounted).
                m_paths.erase(event.wd);
                continue;
            }
            FolderChange change;
            change.watch = (event.mask & IN_Q_OVERFLOW) ? -1 : event.wd;
            change.overflow = (event.mask & IN_Q_OVERFLOW) != 0;
            change.name.assign(name, strnlen(name, event.len));
            change.isFolder = (event.mask & IN_ISDIR) != 0;
            change.created = (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0;
            change.removed = (event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0;
            change.folderGone = (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) != 0;
            changes.push_back(std::move(change));
        }
        if (static_cast<std::size_t>(got) < buffer.size() / 2) {
            break; // a short read: the queue is empty now
        }
    }
    return changes;
}

void FolderWatch::drain() {
    std::size_t rounds = 0;
    while (read(100000).size() > 0 && ++rounds < 64) {
    }
}

} // namespace vemra
