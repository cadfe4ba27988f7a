#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vemra {

// One change the kernel reported for a watched folder.
struct FolderChange {
    int watch = -1;          // the watch it came from; -1 for a lost-notice overflow
    std::string name;        // the item inside the folder; empty for the folder itself
    bool isFolder = false;   // the item is a folder
    bool created = false;    // the item appeared (created or moved in)
    bool removed = false;    // the item went (deleted or moved away)
    bool folderGone = false; // the watched folder itself was deleted or moved
    bool overflow = false;   // the kernel dropped notices: anything may have changed
};

// What to be told about.
enum class WatchKind {
    Files,      // names, contents and times of every item: the shown folder
    FolderNames // sub-folders created, deleted or renamed: the folder tree
};

// Change notification on folders through inotify. Nothing waits here: the
// owner polls fd() (a socket notifier on the interface thread) and calls
// read() when it is readable. Watches are not recursive; a caller that wants
// a whole tree adds its folders one by one. The number of watches is capped,
// so a huge tree cannot use up the user's share of the kernel's watches.
class FolderWatch {
public:
    static constexpr std::size_t kMaxWatches = 4096;

    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Starts watching `folder`; its watch id, or -1 when it cannot be
    // watched (gone, no permission, the cap reached). Watching a folder
    // twice gives the same id.
    int add(const std::string& folder, WatchKind kind);
    void remove(int watch);
    void removeAll();
    std::size_t count() const { return m_paths.size(); }
    // The folder of a watch; empty when unknown.
    std::string folderOf(int watch) const;
    int watchOf(const std::string& folder) const;

    // The changes waiting now, at most `limit` of them; never blocks.
    std::vector<FolderChange> read(std::size_t limit = 100000);
    // Throws away whatever is waiting.
    void drain();

private:
    int m_fd = -1;
    std::unordered_map<int, std::string> m_paths;
};

} // namespace vemra
