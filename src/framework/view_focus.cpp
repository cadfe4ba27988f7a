#include "framework/view_focus.h"

#include "framework/document_base.h"

#include <QWidget>

#include <algorithm>

namespace vemra {

bool focusNextView(const DocumentBase& document, const DocumentView& self, const QWidget& widget) {
    const std::vector<DocumentView*>& views = document.views();
    const auto found = std::find(views.begin(), views.end(), &self);
    if (found == views.end())
        return false;
    const std::size_t count = views.size();
    const auto at = static_cast<std::size_t>(found - views.begin());
    for (std::size_t step = 1; step < count; ++step) {
        auto* next = dynamic_cast<QWidget*>(views[(at + step) % count]);
        if (next != nullptr && next->isVisible() && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus) && next->window() == widget.window()) {
            next->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return false;
}

} // namespace vemra
