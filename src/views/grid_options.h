#pragma once

namespace vemra {

class SettingsStore;

// What the thumbnail grid keeps in section "KPView".
struct GridOptions {
    // Draw through an off-screen bitmap (MemDraw 0) while it needs less than
    // OverMem percent of physical memory; kept for the settings file, the
    // grid repaints only the cells in view.
    bool memDraw = false;
    int overMem = 70;
    // Rows per wheel notch; 0 takes the desktop's setting.
    int wheelScrollCount = 0;
    // With SyncFind, entries found by a scan are drawn at once only after
    // this many: small folders are quicker drawn in one go at the end.
    int syncFileCount = 200;

    static GridOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

} // namespace vemra
