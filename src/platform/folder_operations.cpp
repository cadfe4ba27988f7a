#include "platform/folder_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace vemra {
namespace {

// Deeper trees are refused rather than walked: each level holds one open
// folder, and the process has a limited number of them.
constexpr int kMaxDepth = 256;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct Item {
    std::string name;
    bool isFolder;
};

// The items of the open folder `fd` (which the handle takes over), or the
// error number.
int readItems(int fd, std::vector<Item>& items) {
    DirHandle dir(fdopendir(fd));
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(st.st_mode);
        }
        items.push_back({std::string(name), isFolder});
    }
    return errno;
}

std::uint64_t countBelow(int parent, const char* name, int depth, std::uint64_t limit,
                         std::uint64_t counted) {
    if (depth > kMaxDepth || counted >= limit) {
        return counted;
    }
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return counted;
    }
    std::vector<Item> items;
    const int held = dup(fd);
    readItems(fd, items);
    for (const Item& item : items) {
        if (counted >= limit) {
            break;
        }
        counted = item.isFolder ? countBelow(held, item.name.c_str(), depth + 1, limit, counted)
                                : counted + 1;
    }
    if (held >= 0) {
        ::close(held);
    }
    return counted;
}

class Remover {
public:
    Remover(dev_t device, const std::function<bool()>& step) : m_device(device), m_step(step) {}

    // Empties the folder `name` of `parent` and removes it.
    int remove(int parent, const char* name, int depth) {
        if (depth > kMaxDepth) {
            return ENAMETOOLONG;
        }
        const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            return errno;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || st.st_dev != m_device) {
            ::close(fd);
            return EXDEV;
        }
        const int held = dup(fd);
        if (held < 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        std::vector<Item> items;
        int error = readItems(fd, items);
        for (const Item& item : items) {
            if (error != 0) {
                break;
            }
            if (item.isFolder) {
                error = remove(held, item.name.c_str(), depth + 1);
            } else if (unlinkat(held, item.name.c_str(), 0) != 0) {
                error = errno;
            } else if (m_step && !m_step()) {
                error = ECANCELED;
            }
        }
        ::close(held);
        if (error == 0 && unlinkat(parent, name, AT_REMOVEDIR) != 0) {
            error = errno;
        }
        return error;
    }

private:
    dev_t m_device;
    const std::function<bool()>& m_step;
};

} // namespace

int createFolder(const std::string& path) {
    return path.empty() ? ENOENT : (::mkdir(path.c_str(), 0777) == 0 ? 0 : errno);
}

int renameFolder(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return ENOENT;
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // File systems without the no-replace rename: check, then rename. A
    // folder made in between could still be replaced when empty; nothing
    // with contents can, rename() refuses those.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::uint64_t countFilesBelow(const std::string& folder, std::uint64_t limit) {
    return countBelow(AT_FDCWD, folder.c_str(), 0, limit, 0);
}

int removeFolderTree(const std::string& folder, const std::function<bool()>& step) {
    struct stat st {};
    if (folder.empty() || lstat(folder.c_str(), &st) != 0) {
        return folder.empty() ? ENOENT : errno;
    }
    if (!S_ISDIR(st.st_mode)) {
        return ENOTDIR;
    }
    return Remover(st.st_dev, step).remove(AT_FDCWD, folder.c_str(), 0);
}

std::string systemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

} // namespace vemra
