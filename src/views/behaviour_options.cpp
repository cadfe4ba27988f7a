#include "views/behaviour_options.h"

#include "document/document_options.h"
#include "settings/settings_store.h"
#include "views/frame_settings.h"
#include "views/grid_options.h"
#include "views/viewer_options.h"

namespace vemra {

BehaviourOptions BehaviourOptions::gather(const DocumentOptions& d, const GridOptions& g,
                                          const FrameSettings& f, SettingsStore& store) {
    BehaviourOptions b;
    b.idViewer = d.idViewer;
    b.restoreFolder = d.restoreFolder;
    b.homeFolder = d.homeFolder;
    b.downScan = d.downScan;
    b.scanSpi = d.scanSpi;
    b.syncFind = d.syncFind;
    b.syncFileCount = g.syncFileCount;
    b.syncJump = d.syncJump;
    b.synchronous = d.synchronous;
    b.cacheFolder = d.cacheFolder;
    b.autoCacheFolder = d.autoCacheFolder;
    b.autoRotate = d.autoRotate;
    b.exifThumbnailFirst = d.exifThumbnailFirst;
    b.sortDateTaken = d.sortDateTaken;
    b.cacheDataFolder = d.cacheDataFolder;
    b.trashCan = d.trashCan;
    b.delqa = d.delqa;
    b.dadMove = d.dadMove;
    b.folderMonitor = f.folderMonitor;
    b.clipboardCopyText = d.clipboardCopyText;
    b.clipboardCopyDib = d.clipboardCopyDib;
    b.shellTree = f.shellTree;
    b.colorManagement = d.colorManagement;
    b.displayProfile = d.displayProfile;
    b.monitoring = store.getInt("DriveView", "Monitoring", 0) != 0;
    const ViewerFrameOptions viewer = ViewerFrameOptions::load(store);
    b.multiPicView = viewer.multiPicView;
    b.stay = viewer.stay;
    b.topMost = viewer.topMost;
    return b;
}

void BehaviourOptions::applyTo(DocumentOptions& d, GridOptions& g, FrameSettings& f) const {
    d.idViewer = idViewer;
    d.restoreFolder = restoreFolder;
    d.homeFolder = homeFolder;
    d.downScan = downScan;
    d.scanSpi = scanSpi;
    d.syncFind = syncFind;
    g.syncFileCount = syncFileCount;
    d.syncJump = syncJump;
    d.synchronous = synchronous;
    d.cacheFolder = cacheFolder;
    d.autoCacheFolder = autoCacheFolder;
    d.autoRotate = autoRotate;
    d.exifThumbnailFirst = exifThumbnailFirst;
    d.sortDateTaken = sortDateTaken;
    d.cacheDataFolder = cacheDataFolder;
    d.trashCan = trashCan;
    d.delqa = delqa;
    d.dadMove = dadMove;
    f.folderMonitor = folderMonitor;
    d.clipboardCopyText = clipboardCopyText;
    d.clipboardCopyDib = clipboardCopyDib;
    f.shellTree = shellTree;
    d.colorManagement = colorManagement;
    d.displayProfile = displayProfile;
}

void BehaviourOptions::saveWindowSwitches(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    store.putInt("DriveView", "Monitoring", monitoring ? 1 : 0);
    // The viewer's own options keep the rest of its section as they are.
    ViewerFrameOptions viewer = ViewerFrameOptions::load(store);
    viewer.multiPicView = multiPicView;
    viewer.stay = stay;
    viewer.topMost = topMost;
    viewer.save(store);
}

} // namespace vemra
