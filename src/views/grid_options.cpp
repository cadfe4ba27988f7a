#include "views/grid_options.h"

#include "settings/option_table.h"

namespace vemra {
namespace {

using O = GridOptions;

const OptionKey<O> kKeys[] = {
    {"KPView", "MemDraw", &O::memDraw},
    {"KPView", "OverMem", &O::overMem},
    {"KPView", "WheelScrollCount", &O::wheelScrollCount},
    {"KPView", "SyncFileCount", &O::syncFileCount},
};

} // namespace

GridOptions GridOptions::load(SettingsStore& store) {
    GridOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o;
}

void GridOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (const OptionKey<O>& k : kKeys) {
        store.putText(k.section, k.key, optionText(*this, k));
    }
}

} // namespace vemra
