#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// What a folder tree shows below a folder: its sub-folders and, when asked,
// the archive files that can be opened as folders.
struct TreeChild {
    std::string name;
    bool isArchive = false;
    // Whether the child has children of its own (its expand button).
    bool hasChildren = false;
};

struct TreeChildQuery {
    // Names of archive files to list beside the sub-folders; none when empty.
    std::function<bool(std::string_view name)> isArchiveName;
    // Find out whether each child has children of its own; when false every
    // folder is taken to have some (the button goes when it is opened empty).
    bool checkChildren = true;
    // The most children listed: a folder with more shows the first ones.
    std::size_t limit = 200000;
};

// The children of `folder`, in no particular order; empty when it cannot be
// read. Symbolic links to folders count as folders.
std::vector<TreeChild> listTreeChildren(const std::string& folder, const TreeChildQuery& query);

// Whether `folder` has a child a tree would show.
bool hasTreeChildren(const std::string& folder, const TreeChildQuery& query);

} // namespace vemra
