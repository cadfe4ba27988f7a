#pragma once

#include "settings/colour_value.h"
#include "views/window_placement.h"

#include <optional>
#include <string>

namespace vemra {

class SettingsStore;

// How a picture is fitted and scaled, shared by the window viewer and the
// full-screen window (each keeps its own in its own section).
struct FitRules {
    // 0 as it is, 1 the picture's size (the window follows it), 2 stretched
    // to the window, 3 stretched keeping the aspect; the full-screen window
    // also has 4: turned to the screen's orientation, then as 3.
    int fitSize = 1;
    // 0 plain, 1 nearest, 2 bilinear, 3 RGB averaging, 10 automatic.
    int scaleMode = 0;
    // In the stretching modes a picture smaller than the window may be
    // enlarged (zoomUp) and a larger one reduced (zoomDown).
    bool zoomUp = true;
    bool zoomDown = true;
    double zoomStep = 0.5;
    // Mode 4 turns by 90 degrees when 0, by 270 otherwise.
    int angleDir = 0;
};

// What the window viewer's view keeps in section "COneView", and the
// interval of sequential drawing it takes from "SlideShow"/"SleepTime"
// (which the full-screen window owns and writes).
struct ViewerOptions {
    FitRules fit;
    int angleUnit = 90;
    int delayTime = 100;
    bool repeat = false;
    // Only the full-screen window draws these; kept for the settings file.
    bool positionBar = true;
    bool infomation = true;
    std::string infomationMacro = "$(PN)";
    int spaceCommandId = 10076;
    int sleepTime = 100;

    static ViewerOptions load(SettingsStore& store);
    // Writes every "COneView" key (not SleepTime).
    void save(SettingsStore& store) const;
};

// What the viewer's frame keeps in section "OnePic": the title, its bars,
// staying on top, how the grid opens and keeps viewers, and the placement
// of the last frame closed.
struct ViewerFrameOptions {
    std::string titleFormat = "$(PN) $(W)x$(H) $(C)b $(L)";
    bool topMost = true;
    bool toolBar = true;
    bool statusBar = true;
    // Opening a picture always opens a further viewer.
    bool multiPicView = false;
    // Viewers survive a change of folder, emptied.
    bool stay = false;
    std::optional<WindowPlacement> placement;

    static ViewerFrameOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

// What the full-screen window keeps in section "SlideShow".
struct SlideShowOptions {
    FitRules fit;
    int sleepTime = 100;
    int delayTime = 100;
    bool repeat = false;
    bool positionBar = true;
    bool infomation = true;
    std::string infomationMacro = "$(PN)";
    int infomationTextX = 10;
    int infomationTextY = 0;
    ColourValue colText = 0x8000;
    ColourValue colBarBase = 0x8000;
    ColourValue colBarPlay = 0x0064DC;
    ColourValue colBarStep = 0xFFFF00;
    int spaceCommandId = 32796;

    static SlideShowOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

// A stored scaling method, or 0 for a number that names none.
int checkedScaleMode(int stored);

} // namespace vemra
