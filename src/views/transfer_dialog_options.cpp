#include "views/transfer_dialog_options.h"

#include "settings/option_table.h"

namespace vemra {
namespace {

using O = TransferDialogOptions;

const OptionKey<O> kKeys[] = {
    {"Filer", "CopyOption", &O::copyOption},
    {"Filer", "MoveOption", &O::moveOption},
    {"Filer", "SameOption", &O::sameOption},
    {"Filer", "OverWriteOption", &O::overWriteOption},
};

} // namespace

TransferDialogOptions TransferDialogOptions::load(SettingsStore& store) {
    TransferDialogOptions o;
    loadOptionKeys<O>(o, kKeys, store);
    return o;
}

void TransferDialogOptions::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (const OptionKey<O>& k : kKeys)
        store.putText(k.section, k.key, optionText(*this, k));
}

} // namespace vemra
