#include "views/frame_settings.h"

#include "settings/settings_store.h"

#include <algorithm>

namespace vemra {
namespace {

constexpr const char* kSection = "MainFrame";

// A pane size stored as "x,y,width,height"; damaged values stay usable.
IntPair paneSize(SettingsStore& settings, const char* section, const char* fallback) {
    const IntRect r = readRect(settings.getText(section, "Window", fallback));
    return {std::clamp(r.right, 0, 100000), std::clamp(r.bottom, 0, 100000)};
}

} // namespace

FrameSettings FrameSettings::load(SettingsStore& settings) {
    FrameSettings s;
    s.window = readRect(settings.getText(kSection, "Window", "0,0,640,480"));
    s.toolBar = settings.getInt(kSection, "ToolBar", 1) != 0;
    s.pluginSetBar = settings.getInt(kSection, "PluginSetBar", 1) != 0;
    s.statusBar = settings.getInt(kSection, "StatusBar", 1) != 0;
    s.flatBar = settings.getInt(kSection, "FlatBar", 1) != 0;
    s.folderMonitor = settings.getInt(kSection, "FolderMonitor", 0) != 0;
    s.shellTree = settings.getInt("DrvView", "ShellTree", 1) != 0;
    s.treePane = paneSize(settings, "DrvView", "0,0,160,480");
    s.listPane = paneSize(settings, "LstView", "0,0,160,80");
    return s;
}

void FrameSettings::save(SettingsStore& settings) const {
    SettingsStore::Batch batch(settings);
    settings.putText(kSection, "Window", formatRect(window));
    settings.putInt(kSection, "ToolBar", toolBar ? 1 : 0);
    settings.putInt(kSection, "PluginSetBar", pluginSetBar ? 1 : 0);
    settings.putInt(kSection, "StatusBar", statusBar ? 1 : 0);
    settings.putInt(kSection, "FolderMonitor", folderMonitor ? 1 : 0);
    settings.putText("DrvView", "Window", formatRect({0, 0, treePane.first, treePane.second}));
    settings.putText("LstView", "Window", formatRect({0, 0, listPane.first, listPane.second}));
}

void FrameSettings::saveSwitches(SettingsStore& settings) const {
    SettingsStore::Batch batch(settings);
    settings.putInt(kSection, "FlatBar", flatBar ? 1 : 0);
    settings.putInt(kSection, "FolderMonitor", folderMonitor ? 1 : 0);
    settings.putInt("DrvView", "ShellTree", shellTree ? 1 : 0);
}

} // namespace vemra
