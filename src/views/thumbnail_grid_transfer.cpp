#include "views/thumbnail_grid.h"

#include "document/folder_document.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "imaging/picture_qimage.h"
#include "views/file_commands.h"

#include <QClipboard>
#include <QDateTime>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>

namespace vemra {

namespace {

long long currentSecond() {
    return QDateTime::currentSecsSinceEpoch();
}

std::optional<ThumbnailGrid::SaveChoice> askSavePath(QWidget* parent, const std::string& folder) {
    const QStringList filters{QStringLiteral("BMP形式 files(*.bmp)"),
                              QStringLiteral("JPEG形式 files(*.jpg)")};
    QFileDialog dialog(parent, QStringLiteral("ファイルの保存"), QString::fromStdString(folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    // A name typed without an extension gets the one of the chosen format.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &filters](const QString& filter) {
                         dialog.setDefaultSuffix(filter == filters[1] ? QStringLiteral("jpg")
                                                                      : QStringLiteral("bmp"));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ThumbnailGrid::SaveChoice{dialog.selectedFiles().front().toStdString(),
                                     dialog.selectedNameFilter() == filters[1]};
}

// The thumbnail of the entry under the pointer, small, to show what is
// being dragged; none when it has no thumbnail yet.
QPixmap dragPixmap(const PictureSource* entry) {
    if (entry == nullptr || !entry->thumbnail)
        return {};
    const QImage image = pictureToImage(entry->thumbnail);
    if (image.isNull())
        return {};
    return QPixmap::fromImage(image.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// Enter and move answer alike: the action the keys ask for, or a refusal.
bool answerDrag(QDropEvent* event, Qt::DropAction action) {
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

const QMimeData* clipboardData() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard != nullptr ? clipboard->mimeData() : nullptr;
}

} // namespace

// --- commands

std::optional<CommandState> ThumbnailGrid::transferCommandState(int id) const {
    switch (id) {
    case kCmdEditCopy:
    case kCmdEditCut:
        return CommandState{m_document.selectedCount(false) > 0, false};
    case kCmdEditPaste: {
        const QMimeData* data = clipboardData();
        return CommandState{data != nullptr && !m_document.currentFolder().empty() &&
                                (holdsFileList(*data) || holdsPictureOnly(*data)),
                            false};
    }
    default:
        return std::nullopt;
    }
}

bool ThumbnailGrid::onTransferCommand(int id) {
    switch (id) {
    case kCmdEditCopy:
        copySelection(false);
        return true;
    case kCmdEditCut:
        copySelection(true);
        return true;
    case kCmdEditPaste:
        pasteClipboard();
        return true;
    default:
        return false;
    }
}

void ThumbnailGrid::copySelection(bool cut) {
    std::unique_ptr<QMimeData> data =
        makeClipboardData(m_document, cut ? TransferKind::Cut : TransferKind::Copy);
    if (data != nullptr)
        QGuiApplication::clipboard()->setMimeData(data.release());
}

void ThumbnailGrid::pasteClipboard() {
    const QMimeData* data = clipboardData();
    if (data == nullptr || m_document.currentFolder().empty())
        return;
    if (holdsFileList(*data)) {
        dropFiles(this, m_document, m_settings, *data, m_document.currentFolder(),
                  readClipboardFiles(*data).cut);
        return;
    }
    if (!holdsPictureOnly(*data))
        return;
    // Taken now: the dialog runs an event loop in which the clipboard may
    // change under the data object.
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull())
        return;
    const std::optional<SaveChoice> choice = m_saveDialog
                                                 ? m_saveDialog(m_document.currentFolder())
                                                 : askSavePath(this, m_document.currentFolder());
    if (!choice || choice->path.empty())
        return;
    if (!savePastedPicture(image, choice->path, choice->jpeg)) {
        showError(this, "ファイルの保存に失敗しました");
        return;
    }
    m_document.refresh(false);
}

// --- drops

Qt::DropAction ThumbnailGrid::dropActionFor(const QMimeData* data,
                                            Qt::KeyboardModifiers modifiers) const {
    if (data == nullptr || m_document.currentFolder().empty())
        return Qt::IgnoreAction;
    switch (dropKindFor(*data, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier,
                        m_document.options().dadMove, m_drag != nullptr)) {
    case DropKind::Copy:
        return Qt::CopyAction;
    case DropKind::Move:
        return Qt::MoveAction;
    case DropKind::None:
        break;
    }
    return Qt::IgnoreAction;
}

void ThumbnailGrid::answerDragOver(QDropEvent* event) {
    answerDrag(event, dropActionFor(event->mimeData(), event->modifiers()));
}

void ThumbnailGrid::takeDrop(QDropEvent* event) {
    const Qt::DropAction action = dropActionFor(event->mimeData(), event->modifiers());
    if (!answerDrag(event, action))
        return;
    dropFiles(this, m_document, m_settings, *event->mimeData(), m_document.currentFolder(),
              action == Qt::MoveAction);
}

void ThumbnailGrid::dragEnterEvent(QDragEnterEvent* event) {
    answerDragOver(event);
}

void ThumbnailGrid::dragMoveEvent(QDragMoveEvent* event) {
    answerDragOver(event);
}

void ThumbnailGrid::dropEvent(QDropEvent* event) {
    takeDrop(event);
}

// --- drag out

bool ThumbnailGrid::dragShouldStart(long long pressSecond, long long nowSecond, int pressed,
                                    int under) {
    return nowSecond - pressSecond >= 1 || under < 0 || under != pressed;
}

void ThumbnailGrid::armDrag(Qt::MouseButton button, int position) {
    m_dragArmed = button == Qt::LeftButton && position >= 0;
    m_pressSecond = currentSecond();
}

void ThumbnailGrid::mouseMoveEvent(QMouseEvent* event) {
    updatePointer(event->position().toPoint(), event->modifiers());
    if (!m_dragArmed || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const int under = hitTest(event->position().toPoint());
    if (!dragShouldStart(m_pressSecond, currentSecond(), m_pressed, under))
        return;
    // The drag takes over the button: its release no longer narrows the
    // selection.
    m_dragArmed = false;
    m_selectOnRelease = false;
    startDrag();
}

void ThumbnailGrid::startDrag() {
    DragFiles files(m_document);
    if (files.empty())
        return;
    auto data = std::make_unique<DragMimeData>(
        files.notes(), this, [this](const DragMimeData& asking) { return dragFileList(asking); });
    m_drag = &files;
    m_dragData = data.get();
    if (m_dragExec) {
        m_dragExec(*data);
    } else {
        QPointer<QDrag> drag = new QDrag(this);
        const int shown = m_pressed >= 0 ? m_pressed : m_document.focusedPosition();
        drag->setPixmap(dragPixmap(m_document.entryAt(shown)));
        drag->setMimeData(data.release());
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
        if (drag)
            drag->deleteLater();
    }
    m_drag = nullptr;
    m_dragData = nullptr;
    files.discardUnpacked();
    // Whatever the target reported, a file that is gone was moved away.
    files.removeVanished(nullptr);
}

// Only the data object of the drag in progress gets the list: one left over
// from an earlier drag (a target may keep it) has nothing to be given.
std::optional<std::vector<std::string>> ThumbnailGrid::dragFileList(const DragMimeData& data) {
    if (m_drag == nullptr || &data != m_dragData)
        return std::nullopt;
    // Unpacking members may take a while; plain files are listed at once.
    std::optional<WaitCursor> busy;
    if (m_drag->hasMembers() && !m_drag->rendered())
        busy.emplace();
    return m_drag->render();
}

} // namespace vemra
