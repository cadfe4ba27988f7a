#include "views/folder_tree.h"

#include "document/folder_document.h"
#include "document/transfer_data.h"
#include "platform/file_status.h"
#include "platform/own_file_operations.h"
#include "views/folder_tree_items.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>

namespace vemra {

using namespace folder_tree_items;

std::unique_ptr<QMimeData> FolderTree::dragData(const std::string& path) {
    auto data = std::make_unique<QMimeData>();
    const std::vector<std::string> paths{path};
    data->setData(QString::fromLatin1(mime::kUriList), uriListBytes(paths));
    data->setData(QString::fromLatin1(mime::kGnomeCopiedFiles),
                  gnomeCopiedFilesBytes(TransferKind::Copy, paths));
    data->setData(QString::fromLatin1(mime::kPlainText), QByteArray::fromStdString(path));
    return data;
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
    m_pressPath = event->button() == Qt::LeftButton ? pathOf(itemAt(event->position().toPoint()))
                                                    : std::string();
    m_pressPoint = event->position().toPoint();
    m_keepInSight = false;
    QTreeWidget::mousePressEvent(event);
}

void FolderTree::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressPath.empty() && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPoint).manhattanLength() >=
            QApplication::startDragDistance()) {
        QTreeWidgetItem* item = findItem(m_pressPath);
        m_pressPath.clear();
        if (item != nullptr) {
            startDrag(item);
            return;
        }
    }
    QTreeWidget::mouseMoveEvent(event);
}

void FolderTree::startDrag(QTreeWidgetItem* item) {
    const std::string path = pathOf(item);
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(dragData(path).release());
    drag->setPixmap(item->icon(0).pixmap(32, 32));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    if (drag) {
        drag->deleteLater();
    }
    // Whatever the target reported: a folder that is gone was moved away.
    if (!fileStatus(path)) {
        const std::string parent = parentPath(path);
        if (QTreeWidgetItem* parentItem = findItem(parent)) {
            refreshItem(parentItem, 0);
        }
        selectPath(parent, true);
    }
}

Qt::DropAction FolderTree::dropActionFor(const QMimeData& data,
                                         Qt::KeyboardModifiers modifiers) const {
    if (!m_dropHandler || !holdsFileList(data)) {
        return Qt::IgnoreAction;
    }
    if (modifiers & Qt::ControlModifier) {
        return Qt::CopyAction;
    }
    if ((modifiers & Qt::ShiftModifier) || m_document.options().dadMove) {
        return Qt::MoveAction;
    }
    return Qt::CopyAction;
}

bool FolderTree::dropOn(QTreeWidgetItem* item, const QMimeData& data, Qt::DropAction action) {
    const std::string target = pathOf(item);
    if (!m_dropHandler || target.empty() || kindOf(item) == ItemKind::Archive ||
        action == Qt::IgnoreAction) {
        return false;
    }
    const ClipboardFiles files = readClipboardFiles(data);
    if (files.paths.empty()) {
        return false;
    }
    bool transferred = false;
    {
        const OwnFileOperation own;
        transferred = m_dropHandler(files.paths, target, action == Qt::MoveAction);
    }
    if (transferred) {
        refreshPath(target);
    }
    return transferred;
}

void FolderTree::setDropHighlight(QTreeWidgetItem* item) {
    const std::string path = pathOf(item);
    if (path == m_dropPath) {
        return;
    }
    if (QTreeWidgetItem* previous = m_dropPath.empty() ? nullptr : findItem(m_dropPath)) {
        previous->setBackground(0, previous->data(0, kHighlightRole).value<QBrush>());
    }
    m_dropPath = path;
    if (item != nullptr) {
        item->setData(0, kHighlightRole, item->background(0));
        item->setBackground(0, palette().brush(QPalette::Highlight).color().lighter(150));
    }
}

void FolderTree::autoScrollFor(QPoint point) {
    // Within half a row of the top or bottom edge the tree scrolls by a row.
    const QTreeWidgetItem* first = itemAt(QPoint(1, 1));
    const int half = first != nullptr ? visualItemRect(first).height() / 2 : 8;
    QScrollBar* bar = verticalScrollBar();
    if (point.y() < half) {
        bar->setValue(bar->value() - bar->singleStep());
    } else if (point.y() > viewport()->height() - half) {
        bar->setValue(bar->value() + bar->singleStep());
    }
}

void FolderTree::dragEnterEvent(QDragEnterEvent* event) {
    event->accept(); // the moves decide, item by item
}

void FolderTree::dragMoveEvent(QDragMoveEvent* event) {
    const QPoint point = event->position().toPoint();
    autoScrollFor(point);
    QTreeWidgetItem* item = itemAt(point);
    QTreeWidgetItem* target = nullptr;
    if (item != nullptr) {
        const QRect label = visualItemRect(item);
        if (point.x() < label.left() && point.x() >= label.left() - indentation()) {
            // On the expand button: open the folder to go deeper.
            if (!item->isExpanded() &&
                item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
                populate(item);
                item->setExpanded(true);
            }
        } else if (point.x() >= label.left() && !pathOf(item).empty() &&
                   kindOf(item) != ItemKind::Archive) {
            target = item; // on the label or to the right of it
        }
    }
    setDropHighlight(target);
    answerDrop(*event, target);
}

Qt::DropAction FolderTree::answerDrop(QDropEvent& event, QTreeWidgetItem* target) const {
    const Qt::DropAction action =
        target != nullptr ? dropActionFor(*event.mimeData(), event.modifiers()) : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event.ignore();
    } else {
        event.setDropAction(action);
        event.accept();
    }
    return action;
}

void FolderTree::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropHighlight(nullptr);
    event->accept();
}

void FolderTree::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* target = m_dropPath.empty() ? nullptr : findItem(m_dropPath);
    setDropHighlight(nullptr);
    const Qt::DropAction action = answerDrop(*event, target);
    if (action != Qt::IgnoreAction) {
        dropOn(target, *event->mimeData(), action);
    }
}

} // namespace vemra
