#pragma once

#include "document/picture_source.h"
#include "framework/command_target.h"
#include "views/picture_stage.h"
#include "views/viewer_loading.h"
#include "views/viewer_options.h"

#include <QBasicTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vemra {

class FolderDocument;
class PhotoInfoPane;
class SettingsStore;

// The window viewer's view: one picture of the folder document at a time,
// decoded at its full size, fitted, zoomed and turned as the options and
// commands say, panned with the pointer and the wheel, stepped through the
// document's entries by keys and clicks, animated when it has frames, and
// shown one after another in sequential drawing. The next picture in the
// stepping direction is decoded in idle time meanwhile. Its options live in
// section "COneView": read when it is made, written when it goes.
class PictureView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    // `store` may be null (nothing is read or written).
    PictureView(FolderDocument& document, SettingsStore* store, QWidget* parent = nullptr);
    ~PictureView() override;

    // Shows the entry at display `position`; ignored while a picture is
    // loading. Shown again even when it is the entry already shown.
    void showEntry(int position);
    // Drops the picture (the folder changed and the viewer stays).
    void clearPicture();
    int position() const { return m_position; }
    // The viewer's copy of the shown entry; null without one.
    const PictureSource* entry() const { return m_entry ? &*m_entry : nullptr; }
    // What the shown picture's metadata told (read with its decode).
    const PhotoMetadata& metadata() const { return m_metadata; }
    // The information pane over the picture (I shows and hides it).
    PhotoInfoPane* infoPane() const { return m_infoPane; }
    void toggleInfoPane();
    bool loading() const { return m_loading; }
    bool sequentialDrawing() const { return m_sequential.isActive(); }

    PictureStage& stage() { return m_stage; }
    ViewerOptions& options() { return m_options; }
    // Writes the options now and no more later: the window closed, and the
    // store may be gone before the view is deleted.
    void saveOptionsAndDetach();
    // Takes changed options (the options dialog) and shows the picture anew.
    void setOptions(const ViewerOptions& options);

    // Status panes 0-2: "%ldx%ld %d bit", the scale, the information text.
    std::array<QString, 3> statusTexts() const;
    QString titleText(const std::string& format) const;

    // --- navigation (ignored while loading)
    void showFirst();
    void showLast();
    void showNext();
    void showPrevious();

    // One share of idle time: decoding the picture the user steps to next.
    bool idleStep(const std::function<bool()>& shouldStop);
    PictureLookAhead& lookAhead() { return m_lookAhead; }

    // The clock of animations and sequential drawing, in milliseconds;
    // tests step one of their own. Null restores the steady clock.
    using Clock = std::function<std::int64_t()>;
    void setClock(Clock clock);
    // Advances animation and sequential drawing as their timers do.
    void animationTick();
    void sequentialTick();
    // Physical left and right buttons are exchanged by the desktop.
    void setButtonsSwapped(bool swapped) { m_buttonsSwapped = swapped; }

    // Where "ファイル保存" asks for a file name; replaceable for tests.
    using SaveDialog = std::function<std::optional<std::string>(QWidget* parent)>;
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // Saves the displayed picture: JPEG, PNG or BMP by the name's ending.
    bool savePicture(const std::string& path);

    // How Space sends its command: through the frame's routing when the
    // view sits in a frame (the command may be the frame's), else here.
    void setCommandRoute(std::function<bool(int id)> route) { m_route = std::move(route); }

    // --- CommandTarget
    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

signals:
    // The shown picture, its size or its scale changed: the frame updates
    // its title and status panes.
    void pictureChanged();
    // In mode 1 the frame's client area should take this size.
    void fitRequested(QSize display);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    enum class Pan { Idle, Hover, Pressed, PressedSequential, Dragging };

    void takePicture(LoadedPicture loaded);
    void redisplay(bool keepZoom);
    void afterGeometryChange();
    void planLookAhead(int direction);
    void stopTimers();
    void startSequential();
    void updatePointer();
    // The next entry for sequential drawing that is a picture, or -1.
    int nextPictureEntry(int from);
    bool entryExists(int position) const;
    std::int64_t now() const;
    // Commands (picture_view_commands.cpp).
    bool applyFilter(int id);
    void saveCommand();
    void copyToClipboard();
    void toggleSelected();
    // Copy, move, delete and note of the shown file.
    void fileCommand(int id);
    // The document position of the shown entry (found again by its file
    // when the document changed under the viewer); -1 when it is gone.
    int shownEntryPosition() const;
    void runFullScreen();
    void runOptionsDialog();

    FolderDocument& m_document;
    SettingsStore* m_store;
    ViewerOptions m_options;
    PictureStage m_stage;
    PictureLookAhead m_lookAhead;
    int m_position = -1;
    std::optional<PictureSource> m_entry;
    PhotoMetadata m_metadata;
    PhotoInfoPane* m_infoPane = nullptr;
    bool m_loading = false;
    int m_direction = 1;

    QBasicTimer m_animationTimer;
    QBasicTimer m_sequential;
    std::int64_t m_lastStep = 0;
    Clock m_clock;

    Pan m_pan = Pan::Idle;
    QPoint m_lastPointer;
    QPoint m_pressPointer;
    bool m_activationClick = false;
    std::int64_t m_activatedAt = -1000;
    bool m_buttonsSwapped = false;
    SaveDialog m_saveDialog;
    std::function<bool(int)> m_route;
};

} // namespace vemra
