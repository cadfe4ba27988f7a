#include "platform/tree_children.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace vemra {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// A sub-folder seen in `dir`: real folders by their type, links and
// unknown types by the status of what they lead to.
bool isFolderEntry(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_DIR) {
        return true;
    }
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat st {};
    return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool isDotName(std::string_view name) {
    return name == "." || name == "..";
}

// Whether the folder open as `fd` (taken over) has a child.
bool hasChildrenAt(int fd, const TreeChildQuery& query) {
    DirHandle dir(fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return false;
    }
    // Bounded: a folder of files only is read to its end once.
    std::size_t seen = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (++seen > query.limit) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (isDotName(name)) {
            continue;
        }
        if (isFolderEntry(dir.get(), entry) || (query.isArchiveName && query.isArchiveName(name))) {
            return true;
        }
    }
    return false;
}

// Whether the sub-folder `name` of the open folder `parent` has children.
bool childHasChildren(int parent, const char* name, const TreeChildQuery& query) {
    struct stat st {};
    if (fstatat(parent, name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    // Most file systems count a folder's sub-folders in its link count (two
    // plus one per sub-folder): more than two means a sub-folder, without
    // reading the folder. Exactly two means none, which settles it unless
    // archives count too. Others (btrfs) say one: read the folder.
    if (st.st_nlink > 2) {
        return true;
    }
    if (st.st_nlink == 2 && !query.isArchiveName) {
        return false;
    }
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 && hasChildrenAt(fd, query);
}

} // namespace

std::vector<TreeChild> listTreeChildren(const std::string& folder, const TreeChildQuery& query) {
    std::vector<TreeChild> children;
    DirHandle dir(opendir(folder.c_str()));
    if (!dir) {
        return children;
    }
    const int fd = dirfd(dir.get());
    std::size_t seen = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (++seen > query.limit + 2 || children.size() >= query.limit) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (isDotName(name)) {
            continue;
        }
        if (isFolderEntry(dir.get(), entry)) {
            TreeChild child{std::string(name), false, true};
            if (query.checkChildren) {
                child.hasChildren = childHasChildren(fd, entry->d_name, query);
            }
            children.push_back(std::move(child));
        } else if (query.isArchiveName && query.isArchiveName(name)) {
            children.push_back({std::string(name), true, false});
        }
    }
    return children;
}

bool hasTreeChildren(const std::string& folder, const TreeChildQuery& query) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 && hasChildrenAt(fd, query);
}

} // namespace vemra
