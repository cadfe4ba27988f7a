#pragma once

#include <QString>
#include <Qt>

#include <string>

namespace vemra::folder_tree_items {

// What each item of the folder tree keeps besides its text.
inline constexpr int kPathRole = Qt::UserRole;          // the full path (QString); empty: virtual
inline constexpr int kKindRole = Qt::UserRole + 1;      // FolderTree::ItemKind
inline constexpr int kReadRole = Qt::UserRole + 2;      // its children were read
inline constexpr int kSerialRole = Qt::UserRole + 3;    // a volume's serial seen last (0: unknown)
inline constexpr int kVolumeRole = Qt::UserRole + 4;    // a mounted volume's item
inline constexpr int kHighlightRole = Qt::UserRole + 5; // the background before a drop highlight

// `folder` + "/" + `name`, with "/" itself not doubled.
inline std::string joinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The folder holding `path` ("/" for a name directly under it).
inline std::string parentPath(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Whether `path` is `root` or lies below it.
inline bool isUnder(const std::string& path, const std::string& root) {
    if (root == "/") {
        return !path.empty() && path.front() == '/';
    }
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

} // namespace vemra::folder_tree_items
