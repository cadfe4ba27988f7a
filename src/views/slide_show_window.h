#pragma once

#include "document/picture_source.h"
#include "framework/command_router.h"
#include "framework/command_target.h"
#include "imaging/photo_metadata.h"
#include "views/picture_stage.h"
#include "views/viewer_geometry.h"
#include "views/viewer_loading.h"
#include "views/viewer_options.h"

#include <QBasicTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QMenu;

namespace vemra {

class CommandActions;
class FolderDocument;
class PhotoInfoPane;
class SettingsStore;

// The full-screen window: the document's pictures one at a time on the
// whole screen, with the position bar and the information line drawn over
// them, played as a slide show or stepped by keys, clicks and the wheel.
// I shows or hides how the photograph was taken, as in the window viewer.
// Animated pictures play while the slide show is stopped. It runs modally;
// its options live in section "SlideShow": read when it opens, written
// when it closes.
class SlideShowWindow : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    struct Outcome {
        int position = -1; // the entry shown last
        int sleepTime = 100;
    };

    // Opens on `position` (the slide show running when `play`), with the
    // interval `sleepTime` when given (the window viewer hands its own), and
    // returns once the window closed.
    static Outcome run(FolderDocument& document, SettingsStore* store, int position, bool play,
                       std::optional<int> sleepTime, QWidget* parent);

    // `store` may be null.
    SlideShowWindow(FolderDocument& document, SettingsStore* store, QWidget* parent = nullptr);
    ~SlideShowWindow() override;

    // Lays out the bar for the window's size and shows `position`.
    void start(int position, bool play);
    void showEntry(int position);
    int position() const { return m_position; }
    bool playing() const { return m_slideTimer.isActive(); }
    void setPlaying(bool play);
    SlideShowOptions& options() { return m_options; }
    const viewer::PositionBar& bar() const { return m_bar; }
    PictureStage& stage() { return m_stage; }
    // The information line as drawn (empty when it is off).
    QString informationText() const;
    PhotoInfoPane* infoPane() const { return m_infoPane; }
    void toggleInfoPane();

    // The clock of the slide show and of animations, in milliseconds.
    using Clock = std::function<std::int64_t()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void slideTick();
    void animationTick();
    void setButtonsSwapped(bool swapped) { m_buttonsSwapped = swapped; }
    // Shows a popup menu; replaceable so that tests can look at it.
    using MenuExec = std::function<void(QMenu& menu, QPoint globalPosition)>;
    void setMenuExec(MenuExec exec) { m_menuExec = std::move(exec); }
    void showMenu(QPoint at);
    bool runCommand(int id);

    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Pan { Idle, Hover, Pressed, Dragging };

    void layoutPicture();
    void placeInfoPane();
    void drawOverlay(QPainter& painter);
    QRect informationRect(const QString& text) const;
    void step(int delta);
    void showFirstOrLast(bool last);
    bool entryExists(int position) const;
    std::int64_t now() const;
    void updatePointer(QPoint at);
    void runOptionsDialog();

    FolderDocument& m_document;
    SettingsStore* m_store;
    SlideShowOptions m_options;
    CommandRouter m_router;
    CommandActions* m_commands = nullptr;
    PictureStage m_stage;
    PictureLookAhead m_lookAhead;
    std::optional<PictureSource> m_entry;
    PhotoMetadata m_metadata;
    PhotoInfoPane* m_infoPane = nullptr; // a child: Qt owns it
    int m_position = -1;
    viewer::PositionBar m_bar;
    QBasicTimer m_slideTimer;
    QBasicTimer m_animationTimer;
    QBasicTimer m_rightHold;
    std::int64_t m_lastStep = 0;
    Clock m_clock;
    Pan m_pan = Pan::Idle;
    QPoint m_lastPointer;
    QPoint m_pressPointer;
    bool m_rightHeld = false;
    bool m_rightMenuShown = false;
    bool m_menuOpen = false;
    bool m_buttonsSwapped = false;
    MenuExec m_menuExec;
};

} // namespace vemra
