#include "views/folder_tree_options.h"

#include "settings/option_table.h"

namespace vemra {
namespace {

using O = FolderTreeOptions;

const OptionKey<O> kKeys[] = {
    {"DrvView", "DisplayName", &O::displayName},
    {"DriveView", "Monitoring", &O::monitoring},
    {"DriveView", "ArcTree", &O::arcTree},
    {"ShellView", "CheckSubFolder", &O::checkSubFolder},
};

} // namespace

FolderTreeOptions FolderTreeOptions::load(SettingsStore& store) {
    FolderTreeOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o;
}

void FolderTreeOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (const OptionKey<O>& k : kKeys) {
        store.putText(k.section, k.key, optionText(*this, k));
    }
}

} // namespace vemra
