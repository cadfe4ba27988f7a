#include "framework/document_base.h"

#include <algorithm>

namespace vemra {

DocumentView::~DocumentView() {
    if (m_document)
        m_document->removeView(this);
}

DocumentBase::~DocumentBase() {
    for (DocumentView* view : m_views)
        view->m_document = nullptr;
}

void DocumentBase::addView(DocumentView* view) {
    if (!view || view->m_document == this)
        return;
    if (view->m_document)
        view->m_document->removeView(view);
    m_views.push_back(view);
    view->m_document = this;
}

void DocumentBase::removeView(DocumentView* view) {
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_document = nullptr;
}

void DocumentBase::updateAllViews(DocumentView* sender, const UpdateHint& hint) {
    // A snapshot, because a view may attach or detach views while it is told.
    const std::vector<DocumentView*> snapshot = m_views;
    for (DocumentView* view : snapshot) {
        if (view == sender)
            continue;
        if (std::find(m_views.begin(), m_views.end(), view) == m_views.end())
            continue;
        view->onUpdate(sender, hint);
    }
}

} // namespace vemra
