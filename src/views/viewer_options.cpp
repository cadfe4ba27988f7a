#include "views/viewer_options.h"

#include "imaging/scaling.h"
#include "platform/field_list.h"
#include "settings/option_table.h"

#include <algorithm>
#include <cstdlib>

namespace vemra {
namespace {

constexpr const char* kView = "COneView";
constexpr const char* kFrame = "OnePic";
constexpr const char* kSlide = "SlideShow";

const OptionKey<ViewerOptions> kViewerKeys[] = {
    {kView, "AngleUnit", &ViewerOptions::angleUnit},
    {kView, "DelayTime", &ViewerOptions::delayTime},
    {kView, "Repeat", &ViewerOptions::repeat},
    {kView, "PositionBar", &ViewerOptions::positionBar},
    {kView, "Infomation", &ViewerOptions::infomation},
    {kView, "InfomationMacro", &ViewerOptions::infomationMacro},
    {kView, "SpaceCommandID", &ViewerOptions::spaceCommandId},
};

const OptionKey<ViewerFrameOptions> kFrameKeys[] = {
    {kFrame, "TitleFormat", &ViewerFrameOptions::titleFormat},
    {kFrame, "TopMost", &ViewerFrameOptions::topMost},
    {kFrame, "ToolBar", &ViewerFrameOptions::toolBar},
    {kFrame, "StatusBar", &ViewerFrameOptions::statusBar},
    {kFrame, "MultiPicView", &ViewerFrameOptions::multiPicView},
    {kFrame, "Stay", &ViewerFrameOptions::stay},
};

const OptionKey<SlideShowOptions> kSlideKeys[] = {
    {kSlide, "SleepTime", &SlideShowOptions::sleepTime},
    {kSlide, "DelayTime", &SlideShowOptions::delayTime},
    {kSlide, "Repeat", &SlideShowOptions::repeat},
    {kSlide, "PositionBar", &SlideShowOptions::positionBar},
    {kSlide, "Infomation", &SlideShowOptions::infomation},
    {kSlide, "InfomationMacro", &SlideShowOptions::infomationMacro},
    {kSlide, "InfomationTextX", &SlideShowOptions::infomationTextX},
    {kSlide, "InfomationTextY", &SlideShowOptions::infomationTextY},
    {kSlide, "colText", &SlideShowOptions::colText},
    {kSlide, "colBarBase", &SlideShowOptions::colBarBase},
    {kSlide, "colBarPlay", &SlideShowOptions::colBarPlay},
    {kSlide, "colBarStep", &SlideShowOptions::colBarStep},
    {kSlide, "SpaceCommandID", &SlideShowOptions::spaceCommandId},
};

template <class Options>
void saveKeys(const Options& o, std::span<const OptionKey<Options>> keys, SettingsStore& store) {
    for (const OptionKey<Options>& k : keys)
        store.putText(k.section, k.key, optionText(o, k));
}

// The fit keys every section spells alike.
void loadFit(FitRules& fit, SettingsStore& store, const char* section, int largestMode) {
    fit.fitSize = std::clamp(store.getInt(section, "FitSize", fit.fitSize), 0, largestMode);
    fit.scaleMode = checkedScaleMode(store.getInt(section, "ScaleMode", fit.scaleMode));
    fit.zoomUp = store.getInt(section, "ZoomUp", fit.zoomUp) != 0;
    fit.zoomDown = store.getInt(section, "ZoomDw", fit.zoomDown) != 0;
}

void saveFit(const FitRules& fit, SettingsStore& store, const char* section) {
    store.putInt(section, "FitSize", fit.fitSize);
    store.putInt(section, "ScaleMode", fit.scaleMode);
    store.putInt(section, "ZoomUp", fit.zoomUp ? 1 : 0);
    store.putInt(section, "ZoomDw", fit.zoomDown ? 1 : 0);
}

} // namespace

int checkedScaleMode(int stored) {
    return scaleModeFromInt(stored) ? stored : 0;
}

ViewerOptions ViewerOptions::load(SettingsStore& store) {
    ViewerOptions o;
    loadOptionKeys<ViewerOptions>(o, kViewerKeys, store);
    loadFit(o.fit, store, kView, 3);
    // A step of zero or less could never zoom; a huge one would overflow
    // the scale at the first step.
    const std::string step = store.getText(kView, "ZoomStep", "0.5");
    const double value = std::strtod(step.c_str(), nullptr);
    o.fit.zoomStep = value > 0.001 && value <= 8 ? value : 0.5;
    o.sleepTime = std::max(0, store.getInt(kSlide, "SleepTime", o.sleepTime));
    return o;
}

void ViewerOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    saveKeys<ViewerOptions>(*this, kViewerKeys, store);
    saveFit(fit, store, kView);
    store.putText(kView, "ZoomStep", formatReal(fit.zoomStep));
}

ViewerFrameOptions ViewerFrameOptions::load(SettingsStore& store) {
    ViewerFrameOptions o;
    loadOptionKeys<ViewerFrameOptions>(o, kFrameKeys, store);
    o.placement = WindowPlacement::load(store, kFrame);
    return o;
}

void ViewerFrameOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    saveKeys<ViewerFrameOptions>(*this, kFrameKeys, store);
    if (placement)
        placement->save(store, kFrame);
}

SlideShowOptions SlideShowOptions::load(SettingsStore& store) {
    SlideShowOptions o;
    loadOptionKeys<SlideShowOptions>(o, kSlideKeys, store);
    loadFit(o.fit, store, kSlide, 4);
    o.fit.angleDir = store.getInt(kSlide, "AngleDir", 0);
    o.sleepTime = std::max(0, o.sleepTime);
    o.delayTime = std::max(0, o.delayTime);
    return o;
}

void SlideShowOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    saveKeys<SlideShowOptions>(*this, kSlideKeys, store);
    saveFit(fit, store, kSlide);
    store.putInt(kSlide, "AngleDir", fit.angleDir);
}

} // namespace vemra
