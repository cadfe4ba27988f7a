#pragma once

#include "platform/field_list.h"

namespace vemra {

class SettingsStore;

// What the main window keeps between runs in section "MainFrame", with the
// pane sizes of "DrvView" and "LstView" that lay out its splitters.
struct FrameSettings {
    IntRect window{0, 0, 640, 480}; // x, y, width, height at creation
    bool toolBar = true;
    bool pluginSetBar = true;
    bool statusBar = true;
    bool flatBar = true;
    bool folderMonitor = false;
    bool shellTree = true;
    IntPair treePane{160, 480}; // DrvView/Window, third and fourth numbers
    IntPair listPane{160, 80};  // LstView/Window, third and fourth numbers

    static FrameSettings load(SettingsStore& settings);
    // Writes the window, the bars, the folder monitor and the pane sizes
    // (the keys the frame owns on close).
    void save(SettingsStore& settings) const;
    // Writes the switches the options dialog changes (FlatBar,
    // FolderMonitor, DrvView ShellTree).
    void saveSwitches(SettingsStore& settings) const;
};

} // namespace vemra
