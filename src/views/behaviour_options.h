#pragma once

#include <string>

namespace vemra {

struct DocumentOptions;
struct FrameSettings;
struct GridOptions;
class SettingsStore;

// The settings "動作設定" edits, gathered from their owners: the document
// (KPDoc), the grid (KPView), the main window (MainFrame, DrvView), and the
// switches of the folder tree (DriveView) and the viewer (OnePic).
struct BehaviourOptions {
    // Opening
    int idViewer = 32782; // command of a double-click or Enter
    bool restoreFolder = true;
    std::string homeFolder;
    // Scanning
    bool downScan = false;
    bool scanSpi = false;
    bool syncFind = false;
    int syncFileCount = 200;
    bool syncJump = false;
    bool synchronous = false;
    // Caching
    bool cacheFolder = false;
    bool autoCacheFolder = false;
    std::string cacheDataFolder;
    // File operations
    bool trashCan = true;
    bool delqa = false;
    bool dadMove = false;
    // Monitoring
    bool folderMonitor = false;
    bool monitoring = false;
    // Clipboard
    bool clipboardCopyText = true;
    bool clipboardCopyDib = true;
    // Folder tree variant: the desktop's tree (true) or the drive tree
    bool shellTree = true;
    // Photographs (KPDoc)
    bool autoRotate = true;
    bool exifThumbnailFirst = true;
    bool sortDateTaken = false;
    // Viewer
    bool multiPicView = false;
    bool stay = false;
    bool topMost = true;
    // Colours (the document's ColorManagement and DisplayProfile)
    bool colorManagement = true;
    std::string displayProfile;

    // The values in force: the owners' for their keys, the stored ones (or
    // their defaults) for the switches of windows that read them themselves.
    static BehaviourOptions gather(const DocumentOptions& document, const GridOptions& grid,
                                   const FrameSettings& frame, SettingsStore& store);
    // Puts the values into the owners, which then apply and write them.
    void applyTo(DocumentOptions& document, GridOptions& grid, FrameSettings& frame) const;
    // Writes the switches the folder tree and the viewer read when they are
    // made (DriveView "Monitoring", OnePic "TopMost", "MultiPicView", "Stay").
    void saveWindowSwitches(SettingsStore& store) const;

    friend bool operator==(const BehaviourOptions&, const BehaviourOptions&) = default;
};

} // namespace vemra
