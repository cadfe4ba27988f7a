#pragma once

#include "framework/document_base.h"

#include <QListWidget>

namespace vemra {

class FolderDocument;

// The places of the details list and the thumbnail grid until those views
// exist: the document's entries in display order, by name (the details
// place) or as icons (the grid place). Double-clicking a name makes it the
// current entry.
class EntryListPane : public QListWidget, public DocumentView {
    Q_OBJECT
public:
    enum class Style { Names, Icons };

    EntryListPane(FolderDocument& document, Style style, QWidget* parent = nullptr);
    ~EntryListPane() override;

    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;

    // Fills the pane from the document again.
    void reload();

private:
    FolderDocument& m_document;
    Style m_style;
};

} // namespace vemra
