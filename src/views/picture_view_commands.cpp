#include "views/picture_view.h"

#include "document/folder_document.h"
#include "document/written_colours.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "imaging/colour_reduction.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_qimage.h"
#include "imaging/picture_save.h"
#include "imaging/unsharp.h"
#include "views/file_commands.h"
#include "views/note_dialog.h"
#include "views/printing.h"
#include "views/slide_show_window.h"
#include "views/view_options_dialog.h"
#include "views/viewer_geometry.h"
#include "views/wallpaper_dialog.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>

#include <array>

namespace vemra {
namespace {

constexpr int kFitFirst = kCmdFitOriginal;
constexpr int kFitLast = kCmdFitAspect;

// The scaling commands in the order of their stored numbers.
struct ScaleCommand {
    int id;
    int mode;
};
constexpr std::array<ScaleCommand, 5> kScaleCommands{{{kCmdScalePlain, 0},
                                                      {kCmdScaleNearest, 1},
                                                      {kCmdScaleLinear, 2},
                                                      {kCmdScaleAverage, 3},
                                                      {kCmdScaleAuto, 10}}};

const ScaleCommand* scaleCommand(int id) {
    for (const ScaleCommand& c : kScaleCommands) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

// The sharpening kernel of the viewer's command: the eight neighbours.
constexpr std::array<int, 9> kSharpenKernel{1, 1, 1, 1, 0, 1, 1, 1, 1};

bool endsWith(const QString& path, const char* suffix) {
    return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

std::optional<std::string> askSavePath(QWidget* parent) {
    const QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("ファイル保存"), QString(),
        QStringLiteral("BMP形式 (*.bmp);;JPEG形式 (*.jpg *.jpeg);;PNG形式 (*.png)"));
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

// The shown picture holds display colours; what leaves the viewer (a file,
// the clipboard, a printout, the wallpaper) is in sRGB. Null: `shown`
// itself is written.
PictureBuffer writtenCopy(const PictureBuffer& shown, const std::optional<PictureSource>& entry) {
    return shownPictureForWriting(shown, entry ? entry->drawing.colour.get() : nullptr);
}

} // namespace

std::optional<CommandState> PictureView::commandState(int id) const {
    const bool picture = m_stage.hasPicture() && !m_loading;
    const bool shown = m_position >= 0 && !m_loading;
    if (commandInRange(id, kFitFirst, kFitLast))
        return CommandState{true, m_options.fit.fitSize == id - kFitFirst};
    if (const ScaleCommand* c = scaleCommand(id))
        return CommandState{true, m_options.fit.scaleMode == c->mode};
    switch (id) {
    case kCmdFirstPicture:
        return CommandState{shown && m_position > 0, false};
    case kCmdLastPicture:
        return CommandState{shown && m_position + 1 < m_document.displayedCount(), false};
    // Stepping stays possible at the ends: with Repeat it wraps, without it
    // the picture is shown again.
    case kCmdPreviousPicture:
    case kCmdNextPicture:
        return CommandState{shown, false};
    case kCmdSequentialDrawing:
        return CommandState{m_document.displayedCount() > 0, m_sequential.isActive()};
    case kCmdZoomIn:
        return CommandState{
            picture && viewer::canZoomIn(m_stage.zoomLevel(), m_options.fit.zoomStep), false};
    case kCmdZoomOut:
        return CommandState{
            picture && viewer::canZoomOut(m_stage.zoomLevel(), m_options.fit.zoomStep), false};
    case kCmdRotateRight:
    case kCmdRotateLeft:
    case kCmdFlipVertical:
    case kCmdFlipHorizontal:
    case kCmdResetZoom:
    case kCmdViewerSave:
    case kCmdViewerClipboardCopy:
    case kCmdUnsharpMask:
    case kCmdReduceColours:
        return CommandState{picture, false};
    // Both remember their choices in the settings.
    case kCmdPrint:
    case kCmdViewerWallpaper:
        return CommandState{picture && m_store != nullptr && m_entry.has_value(), false};
    case kCmdRepeat:
        return CommandState{true, m_options.repeat};
    case kCmdViewerFullScreen:
        return CommandState{shown, false};
    case kCmdViewOptions:
        return CommandState{};
    case kCmdToggleSelected: {
        PictureSource* entry = m_document.entryAt(m_position);
        return CommandState{entry != nullptr && !m_sequential.isActive() && !m_loading,
                            entry != nullptr && entry->isSelected()};
    }
    case kCmdViewerCopy:
    case kCmdViewerMove:
        // Both remember their destinations in the settings.
        return CommandState{m_store != nullptr && shownEntryPosition() >= 0 && !m_loading, false};
    case kCmdViewerDelete:
    case kCmdNote:
        return CommandState{shownEntryPosition() >= 0 && !m_loading, false};
    default:
        return std::nullopt;
    }
}

bool PictureView::onCommand(int id) {
    const QSize client = size();
    if (commandInRange(id, kFitFirst, kFitLast)) {
        m_options.fit.fitSize = id - kFitFirst;
        redisplay(false);
        return true;
    }
    if (const ScaleCommand* c = scaleCommand(id)) {
        m_options.fit.scaleMode = c->mode;
        redisplay(true);
        return true;
    }
    switch (id) {
    case kCmdFirstPicture:
        showFirst();
        return true;
    case kCmdLastPicture:
        showLast();
        return true;
    case kCmdPreviousPicture:
        showPrevious();
        return true;
    case kCmdNextPicture:
        showNext();
        return true;
    case kCmdSequentialDrawing:
        if (m_sequential.isActive()) {
            m_sequential.stop();
            // The picture shown last plays again if it is animated.
            if (m_position >= 0)
                showEntry(m_position);
        } else {
            startSequential();
        }
        return true;
    case kCmdZoomIn:
        if (m_stage.zoomIn(client))
            afterGeometryChange();
        return true;
    case kCmdZoomOut:
        if (m_stage.zoomOut(client))
            afterGeometryChange();
        return true;
    case kCmdResetZoom:
        if (m_stage.resetZoom(client))
            afterGeometryChange();
        return true;
    case kCmdRotateRight:
    case kCmdRotateLeft: {
        const WaitCursor busy;
        m_stage.rotate(id == kCmdRotateRight ? m_options.angleUnit : 360 - m_options.angleUnit,
                       client);
        afterGeometryChange();
        return true;
    }
    case kCmdFlipVertical:
    case kCmdFlipHorizontal:
        m_stage.flip(id == kCmdFlipVertical, client);
        afterGeometryChange();
        return true;
    case kCmdRepeat:
        m_options.repeat = !m_options.repeat;
        planLookAhead(m_direction);
        return true;
    case kCmdViewerFullScreen:
        runFullScreen();
        return true;
    case kCmdViewOptions:
        runOptionsDialog();
        return true;
    case kCmdToggleSelected:
        toggleSelected();
        return true;
    case kCmdViewerSave:
        saveCommand();
        return true;
    case kCmdViewerClipboardCopy:
        copyToClipboard();
        return true;
    case kCmdUnsharpMask:
    case kCmdReduceColours:
        return applyFilter(id);
    case kCmdPrint:
        if (commandState(id)->enabled) {
            const PictureBuffer written = writtenCopy(m_stage.frame(), m_entry);
            printShownPicture(window(), *m_store, *m_entry, written ? written : m_stage.frame(),
                              m_document.options().centralCacheFolder());
        }
        return true;
    case kCmdViewerWallpaper:
        if (commandState(id)->enabled) {
            const PictureBuffer written = writtenCopy(m_stage.frame(), m_entry);
            runWallpaperDialog(window(), *m_store, written ? written : m_stage.frame());
        }
        return true;
    case kCmdViewerCopy:
    case kCmdViewerMove:
    case kCmdViewerDelete:
    case kCmdNote:
        fileCommand(id);
        return true;
    default:
        return false;
    }
}

int PictureView::shownEntryPosition() const {
    if (!m_entry)
        return -1;
    // The document may have been sorted or changed since the picture was
    // shown: the command must act on the file the user is looking at.
    auto same = [this](int position) {
        const PictureSource* e = m_document.entryAt(position);
        return e != nullptr && e->fileName == m_entry->fileName && e->folder == m_entry->folder &&
               e->archiveFileName == m_entry->archiveFileName;
    };
    if (same(m_position))
        return m_position;
    for (int i = 0; i < m_document.displayedCount(); ++i) {
        if (same(i))
            return i;
    }
    return -1;
}

void PictureView::fileCommand(int id) {
    const int position = shownEntryPosition();
    if (position < 0 || m_loading)
        return;
    const std::array<int, 1> positions{position};
    QWidget* parent = window();
    int done = 0;
    switch (id) {
    case kCmdViewerCopy:
        runCopyCommand(parent, m_document, *m_store, positions);
        return;
    case kCmdNote:
        runNoteCommand(parent, m_document, positions, nullptr);
        return;
    case kCmdViewerMove:
        done = runMoveCommand(parent, m_document, *m_store, positions, nullptr);
        break;
    case kCmdViewerDelete:
        done = runDeleteCommand(parent, m_document, m_store, positions, nullptr);
        break;
    default:
        return;
    }
    if (done <= 0)
        return;
    // The file left the folder: the entry that took its place is shown,
    // or the last one when it was the last; an emptied folder leaves the
    // viewer empty.
    stopTimers();
    const int count = m_document.displayedCount();
    if (count == 0) {
        clearPicture();
        return;
    }
    showEntry(std::min(position, count - 1));
}

bool PictureView::applyFilter(int id) {
    const WaitCursor busy;
    PictureBuffer changed;
    if (id == kCmdUnsharpMask) {
        // Only 24-bit pictures are sharpened; others are widened first.
        PictureBuffer wide = copyAs24Bits(m_stage.frame());
        if (wide)
            changed = unsharp(wide, kViewerUnsharpAmount, 3, kSharpenKernel);
    } else {
        changed = reduceColours(m_stage.frame());
    }
    if (!changed)
        return true;
    m_stage.replacePicture(std::move(changed));
    m_animationTimer.stop();
    if (m_entry)
        m_entry->bitCount = m_stage.frame().bitCount();
    redisplay(true);
    return true;
}

void PictureView::toggleSelected() {
    PictureSource* entry = m_document.entryAt(m_position);
    if (entry == nullptr)
        return;
    const bool selected = !entry->isSelected();
    m_document.setSelected(m_position, selected ? PictureSource::kSelected : 0);
    m_document.updateAllViews(nullptr, hint::SelectionChanged{selected, m_position});
}

bool PictureView::savePicture(const std::string& path) {
    const PictureBuffer& shown = m_stage.shownPicture();
    const PictureBuffer& displayed = shown ? shown : m_stage.frame();
    if (!displayed)
        return false;
    const PictureBuffer written = writtenCopy(displayed, m_entry);
    const PictureBuffer& picture = written ? written : displayed;
    const QString name = QString::fromStdString(path);
    if (endsWith(name, ".jpg") || endsWith(name, ".jpeg"))
        return saveJpeg(path, picture, JpegOptions{}.quality, false);
    if (endsWith(name, ".png"))
        return savePng(path, picture, 0);
    return saveBmp(path, picture, 0);
}

void PictureView::saveCommand() {
    const std::optional<std::string> path = m_saveDialog ? m_saveDialog(this) : askSavePath(this);
    if (!path)
        return;
    bool saved = false;
    {
        const WaitCursor busy;
        saved = savePicture(*path);
    }
    if (!saved)
        showError(this, "ファイルの保存に失敗しました");
}

void PictureView::copyToClipboard() {
    const PictureBuffer& shown = m_stage.shownPicture();
    const PictureBuffer& displayed = shown ? shown : m_stage.frame();
    const PictureBuffer written = writtenCopy(displayed, m_entry);
    const QImage image = pictureToImage(written ? written : displayed);
    if (QClipboard* clipboard = QGuiApplication::clipboard(); clipboard && !image.isNull())
        clipboard->setImage(image);
}

void PictureView::runFullScreen() {
    stopTimers();
    const SlideShowWindow::Outcome outcome =
        SlideShowWindow::run(m_document, m_store, m_position, false, m_options.sleepTime, this);
    m_options.sleepTime = outcome.sleepTime;
    m_lookAhead.clear();
    if (entryExists(outcome.position))
        showEntry(outcome.position);
}

void PictureView::runOptionsDialog() {
    ViewOptionsDialog dialog(m_options, this);
    if (dialog.exec() == QDialog::Accepted) {
        setOptions(dialog.options());
        if (m_store != nullptr)
            m_options.save(*m_store);
    }
}

} // namespace vemra
