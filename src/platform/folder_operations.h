#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vemra {

// The folder operations of the folder tree. Each gives 0 on success or the
// system's error number, whose text systemErrorText() gives.

// Makes one folder (its parent must exist).
int createFolder(const std::string& path);

// Renames the folder `from` to `to`. An existing `to` is never replaced,
// not even an empty folder: the rename then fails with EEXIST.
int renameFolder(const std::string& from, const std::string& to);

// The files (anything but folders) below `folder`, at any depth, counted
// up to `limit`. Symbolic links count as files and are not followed.
std::uint64_t countFilesBelow(const std::string& folder, std::uint64_t limit = 10'000'000);

// Deletes `folder` with everything in it, depth first: the items of each
// folder, its sub-folders recursively, then the folder itself. `step` is
// called after each file deleted and may answer false to stop (ECANCELED).
// The walk stops at the first failure. Symbolic links are deleted, never
// followed, and a volume mounted somewhere below is not entered (EXDEV):
// deleting a folder never reaches into another file system.
int removeFolderTree(const std::string& folder, const std::function<bool()>& step = {});

// The system's text for an error number.
std::string systemErrorText(int error);

} // namespace vemra
