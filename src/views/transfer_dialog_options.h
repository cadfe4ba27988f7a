#pragma once

namespace vemra {

class SettingsStore;

// What the file-operation dialogs remember in section "Filer": the copy
// option of the copy and move dialogs and the preselected actions of the
// same-name and overwrite questions. (The destination histories "Folder%d"
// belong to the dialogs' history combos, AutoFileFormat to the document.)
struct TransferDialogOptions {
    int copyOption = 0;      // CopyOption: 0 all files, 1 only existing targets
    int moveOption = 0;      // MoveOption
    int sameOption = 0;      // SameOption: 0-5
    int overWriteOption = 1; // OverWriteOption: 0-5

    static TransferDialogOptions load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

} // namespace vemra
