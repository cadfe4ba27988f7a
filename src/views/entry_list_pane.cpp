#include "views/entry_list_pane.h"

#include "document/folder_document.h"

#include <QFileIconProvider>

namespace vemra {

EntryListPane::EntryListPane(FolderDocument& document, Style style, QWidget* parent)
    : QListWidget(parent), m_document(document), m_style(style) {
    setObjectName(style == Style::Names ? QStringLiteral("detailsPlace")
                                        : QStringLiteral("gridPlace"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    if (style == Style::Icons) {
        setViewMode(QListView::IconMode);
        setResizeMode(QListView::Adjust);
        setMovement(QListView::Static);
        setIconSize(QSize(48, 48));
        setGridSize(QSize(110, 84));
        setWordWrap(true);
    }
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { m_document.setFocus(row(item)); });
    document.addView(this);
}

EntryListPane::~EntryListPane() {
    if (document() != nullptr) {
        document()->removeView(this);
    }
}

void EntryListPane::onUpdate(DocumentView*, const UpdateHint& update) {
    using hint::OneOf;
    visitHint(
        update, [this](const hint::ListEmptied&) { clear(); },
        [this](const OneOf<hint::RedrawAll, hint::ScanFinished, hint::EntryRemoved> auto&) {
            reload();
        });
}

void EntryListPane::reload() {
    clear();
    if (m_document.isScanning()) {
        return;
    }
    static const QFileIconProvider icons;
    const int count = m_document.displayedCount();
    for (int position = 0; position < count; ++position) {
        const PictureSource* entry = m_document.entryAt(position);
        if (entry == nullptr) {
            continue;
        }
        auto* item = new QListWidgetItem(QString::fromStdString(entry->fileName), this);
        if (m_style == Style::Icons) {
            // One icon for every picture: asking the system per file costs
            // too much in large folders, and thumbnails replace it anyway.
            item->setIcon(icons.icon(QFileIconProvider::File));
        }
        item->setToolTip(QString::fromStdString(entry->fullPath()));
    }
}

} // namespace vemra
