#pragma once

#include "document/sort_state.h"
#include "framework/command_target.h"
#include "framework/document_base.h"

#include <span>

namespace vemra {

class FolderDocument;
class SettingsStore;

// Keeps the document's display order sorted for every view that shows it:
// after each finished scan it orders the displayed entries by the stored
// sort history ("LstView" "SortHistory", newest key first), and it answers
// the sort menu, whose choices become the newest key of that history and
// are stored at once. The main window owns it until a details list with
// sortable columns can take its state over.
class DisplaySorter : public DocumentView, public CommandTarget {
public:
    DisplaySorter(FolderDocument& document, SettingsStore& settings);
    ~DisplaySorter() override;

    void onUpdate(DocumentView* sender, const UpdateHint& update) override;
    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

    const SortState& state() const { return m_state; }

private:
    // Orders the displayed entries by `keysNewestFirst`; the other views
    // redraw in the new order.
    void order(std::span<const SortKey> keysNewestFirst);

    FolderDocument& m_document;
    SettingsStore& m_settings;
    SortState m_state;
};

} // namespace vemra
