#pragma once

namespace vemra {

class SettingsStore;

// What the folder tree keeps in "DrvView", "DriveView" and "ShellView"
// besides the keys the main window owns (ShellTree, Window) and the tree's
// own state (Path, QUICKACC_%d).
struct FolderTreeOptions {
    // Drive tree: a volume's item shows its mount point, a blank and its label.
    bool displayName = false;
    // Drive tree: folders created, deleted or renamed on the volumes show
    // at once in the folders opened in the tree.
    bool monitoring = false;
    // Drive tree: archive files a plug-in reads are items that open as folders.
    bool arcTree = true;
    // Desktop tree: find out whether a folder has sub-folders before showing
    // its expand button.
    bool checkSubFolder = true;

    static FolderTreeOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

} // namespace vemra
