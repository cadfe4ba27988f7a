#pragma once

class QWidget;

namespace vemra {

class DocumentBase;
class DocumentView;

// Tab in a view: the focus goes to the document's next view after `self` in
// the document's view order, wrapping to the first, skipping views that are
// not widgets of the same window or cannot take the focus now. Returns
// whether one took it.
bool focusNextView(const DocumentBase& document, const DocumentView& self, const QWidget& widget);

} // namespace vemra
