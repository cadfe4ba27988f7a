#pragma once

#include "framework/update_hint.h"

#include <string>
#include <vector>

namespace vemra {

class DocumentBase;

// A window that shows a document. The document tells its views of every
// change through onUpdate; views never poll.
class DocumentView {
public:
    virtual ~DocumentView();

    // `sender` is the view that caused the change (it is not told again), or
    // null when the document itself did. Views read the hint with visitHint.
    virtual void onUpdate(DocumentView* sender, const UpdateHint& hint) = 0;

    DocumentBase* document() const { return m_document; }

protected:
    DocumentView() = default;
    DocumentView(const DocumentView&) = delete;
    DocumentView& operator=(const DocumentView&) = delete;

private:
    friend class DocumentBase;
    DocumentBase* m_document = nullptr;
};

// The document side of the document/view pair: it keeps its attached views
// and a title, and broadcasts update hints. Views attach and detach
// themselves at any time, also from inside an onUpdate; a view destroyed
// while attached detaches itself.
class DocumentBase {
public:
    DocumentBase() = default;
    DocumentBase(const DocumentBase&) = delete;
    DocumentBase& operator=(const DocumentBase&) = delete;
    virtual ~DocumentBase();

    // Attaches `view` (moving it from another document when it had one).
    void addView(DocumentView* view);
    void removeView(DocumentView* view);
    const std::vector<DocumentView*>& views() const { return m_views; }

    // Calls onUpdate on every attached view except `sender`, in the order
    // they were attached. A view that is detached during the broadcast is
    // not called afterwards; one attached during it is called from the next
    // broadcast on.
    void updateAllViews(DocumentView* sender, const UpdateHint& hint);

    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }

private:
    std::vector<DocumentView*> m_views;
    std::string m_title;
};

} // namespace vemra
