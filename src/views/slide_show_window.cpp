#include "views/slide_show_window.h"

#include "document/caption_macros.h"
#include "document/folder_document.h"
#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/command_table.h"
#include "framework/wait_cursor.h"
#include "imaging/qcolor_value.h"
#include "views/photo_info_pane.h"
#include "views/slide_show_options_dialog.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimerEvent>
#include <QWheelEvent>

#include <cstdlib>

namespace vemra {
namespace {

// Holding the right button this long opens the menu instead of stepping.
constexpr int kRightHoldMs = 300;
// The corner that opens the menu: this close to the top and right edges.
constexpr int kMenuCorner = 2;

} // namespace

SlideShowWindow::Outcome SlideShowWindow::run(FolderDocument& document, SettingsStore* store,
                                              int position, bool play, std::optional<int> sleepTime,
                                              QWidget* parent) {
    SlideShowWindow window(document, store, nullptr);
    if (sleepTime)
        window.options().sleepTime = std::max(0, *sleepTime);
    window.setWindowModality(Qt::ApplicationModal);
    const QScreen* screen = parent != nullptr && parent->screen() != nullptr
                                ? parent->screen()
                                : QGuiApplication::primaryScreen();
    if (screen != nullptr)
        window.setGeometry(screen->geometry());
    window.showFullScreen();
    window.start(position, play);
    QEventLoop loop;
    QObject::connect(&window, &SlideShowWindow::closed, &loop, &QEventLoop::quit);
    loop.exec();
    return {window.position(), window.options().sleepTime};
}

SlideShowWindow::SlideShowWindow(FolderDocument& document, SettingsStore* store, QWidget* parent)
    : QWidget(parent), m_document(document), m_store(store),
      m_options(store != nullptr ? SlideShowOptions::load(*store) : SlideShowOptions{}),
      m_lookAhead(document) {
    setObjectName(QStringLiteral("slideShowWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    m_router.setTarget(CommandRouter::Level::ActiveView, this);
    m_commands = new CommandActions(m_router, CommandScope::SlideShow, this);
    m_commands->createAll();
    m_stage.setRules(m_options.fit);
    m_infoPane = new PhotoInfoPane(this);
    placeInfoPane();
}

SlideShowWindow::~SlideShowWindow() {
    m_router.setTarget(CommandRouter::Level::ActiveView, nullptr);
}

std::int64_t SlideShowWindow::now() const {
    return m_clock ? m_clock() : steadyMilliseconds();
}

bool SlideShowWindow::entryExists(int position) const {
    return entryAvailable(m_document, position);
}

void SlideShowWindow::start(int position, bool play) {
    m_bar = viewer::PositionBar::layout(m_document.displayedCount(), width());
    if (!entryExists(position))
        position = entryExists(0) ? 0 : -1;
    setPlaying(play);
    if (position >= 0)
        showEntry(position);
    setFocus(Qt::OtherFocusReason);
}

void SlideShowWindow::setPlaying(bool play) {
    if (play) {
        m_lastStep = now();
        m_slideTimer.start(FrameAnimation::kTickMs, this);
        m_animationTimer.stop();
    } else {
        m_slideTimer.stop();
    }
    update();
}

void SlideShowWindow::showEntry(int position) {
    if (!entryExists(position))
        return;
    m_animationTimer.stop();
    m_stage.clear();
    std::optional<LoadedPicture> ready = m_lookAhead.take(position);
    if (!ready) {
        const WaitCursor busy;
        ready = loadViewerPicture(m_document, position, !playing());
    }
    m_position = position;
    m_entry = std::move(ready->entry);
    m_metadata = std::move(ready->metadata);
    m_infoPane->setMetadata(m_metadata);
    const bool animated = ready->animation != nullptr;
    m_stage.setPicture(std::move(ready->picture), std::move(ready->animation), now());
    layoutPicture();
    if (animated)
        m_animationTimer.start(FrameAnimation::kTickMs, this);
    const int count = m_document.displayedCount();
    int next = position + 1;
    if (next >= count && m_options.repeat)
        next = 0;
    m_lookAhead.want(entryExists(next) ? next : -1);
}

void SlideShowWindow::layoutPicture() {
    m_stage.setRules(m_options.fit);
    m_stage.layout(size());
    placeInfoPane();
    update();
}

// Top left like the window viewer's pane, below the position bar and below
// the information line when that line is drawn where the pane would be.
void SlideShowWindow::placeInfoPane() {
    constexpr int kMargin = 8;
    const bool bar = m_options.positionBar && m_bar.cells() > 0;
    QRect pane(QPoint(kMargin, kMargin + (bar ? viewer::PositionBar::kCellHeight : 0)),
               m_infoPane->sizeHint());
    if (const QString text = informationText(); !text.isEmpty()) {
        const QRect line = informationRect(text);
        if (line.intersects(pane))
            pane.moveTop(line.bottom() + kMargin);
    }
    m_infoPane->move(pane.topLeft());
}

void SlideShowWindow::toggleInfoPane() {
    m_infoPane->setMetadata(m_metadata);
    placeInfoPane();
    m_infoPane->setVisible(!m_infoPane->isVisible());
    m_infoPane->raise();
}

void SlideShowWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_bar = viewer::PositionBar::layout(m_document.displayedCount(), width());
    m_stage.layout(size(), true);
    placeInfoPane();
}

// --- stepping

void SlideShowWindow::step(int delta) {
    const int count = m_document.displayedCount();
    int next = m_position + delta;
    if (next < 0 || next >= count) {
        if (!m_options.repeat || count == 0)
            return;
        next = (next % count + count) % count;
    }
    if (next != m_position)
        showEntry(next);
}

void SlideShowWindow::showFirstOrLast(bool last) {
    const int count = m_document.displayedCount();
    for (int k = 0; k < count; ++k) {
        const int i = last ? count - 1 - k : k;
        if (entryExists(i)) {
            if (i != m_position)
                showEntry(i);
            return;
        }
    }
}

void SlideShowWindow::slideTick() {
    if (now() - m_lastStep <= m_options.sleepTime)
        return;
    m_lastStep = now();
    // Without Repeat the last picture stays; the timer keeps running.
    step(1);
    m_lastStep = now();
}

void SlideShowWindow::animationTick() {
    if (m_stage.animation() == nullptr || m_stage.animation()->frameCount() < 2) {
        m_animationTimer.stop();
        return;
    }
    if (m_stage.tick(now(), m_options.delayTime))
        update();
}

void SlideShowWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_slideTimer.timerId()) {
        slideTick();
    } else if (event->timerId() == m_animationTimer.timerId()) {
        animationTick();
    } else if (event->timerId() == m_rightHold.timerId()) {
        m_rightHold.stop();
        if (m_rightHeld) {
            m_rightMenuShown = true;
            showMenu(m_pressPointer);
        }
    } else {
        QWidget::timerEvent(event);
    }
}

// --- painting

QString SlideShowWindow::informationText() const {
    if (!m_options.infomation || !m_entry)
        return {};
    return QString::fromStdString(expandCaption(m_options.infomationMacro, *m_entry));
}

void SlideShowWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_stage.paint(painter, size(), QStringLiteral("画像表示できません"));
    drawOverlay(painter);
}

void SlideShowWindow::drawOverlay(QPainter& painter) {
    using viewer::PositionBar;
    if (m_options.positionBar && m_bar.cells() > 0) {
        const int current = m_bar.cellOf(m_position);
        const QColor base = toQColor(m_options.colBarBase);
        const QColor mark = toQColor(playing() ? m_options.colBarPlay : m_options.colBarStep);
        for (int cell = 0; cell < m_bar.cells(); ++cell)
            painter.fillRect(cell * PositionBar::kCellWidth, 0, PositionBar::kCellWidth - 1,
                             PositionBar::kCellHeight, cell == current ? mark : base);
    }
    const QString text = informationText();
    if (text.isEmpty())
        return;
    painter.setPen(toQColor(m_options.colText));
    painter.drawText(informationRect(text), Qt::AlignLeft | Qt::AlignTop, text);
}

QRect SlideShowWindow::informationRect(const QString& text) const {
    const QFontMetrics metrics = fontMetrics();
    const QSize textSize(metrics.horizontalAdvance(text), metrics.height());
    const QPoint at =
        viewer::infoLinePosition(m_options.infomationTextX, m_options.infomationTextY, textSize,
                                 size(), m_options.positionBar && m_bar.cells() > 0);
    return QRect(at, textSize);
}

// --- commands

bool SlideShowWindow::runCommand(int id) {
    return m_router.route(id);
}

std::optional<CommandState> SlideShowWindow::commandState(int id) const {
    const int count = m_document.displayedCount();
    switch (id) {
    case kCmdCloseViewer:
    case kCmdViewOptions:
        return CommandState{};
    case kCmdFirstPicture:
        return CommandState{m_position > 0, false};
    case kCmdPreviousPicture:
        return CommandState{m_position > 0 || (m_options.repeat && count > 1), false};
    // With Repeat the step past the last picture wraps, so it stays enabled.
    case kCmdNextPicture:
        return CommandState{m_position + 1 < count || (m_options.repeat && count > 1), false};
    case kCmdLastPicture:
        return CommandState{m_position + 1 < count, false};
    case kCmdSequentialDrawing:
        return CommandState{count > 0, playing()};
    default:
        return std::nullopt;
    }
}

bool SlideShowWindow::onCommand(int id) {
    switch (id) {
    case kCmdCloseViewer:
        close();
        return true;
    case kCmdFirstPicture:
        showFirstOrLast(false);
        return true;
    case kCmdLastPicture:
        showFirstOrLast(true);
        return true;
    case kCmdPreviousPicture:
        step(-1);
        return true;
    case kCmdNextPicture:
        step(1);
        return true;
    case kCmdSequentialDrawing:
        setPlaying(!playing());
        // A stopped slide show plays the animated picture it stopped on.
        if (!playing() && m_position >= 0 && m_entry && mayAnimate(*m_entry))
            showEntry(m_position);
        return true;
    case kCmdViewOptions:
        runOptionsDialog();
        return true;
    default:
        return false;
    }
}

void SlideShowWindow::runOptionsDialog() {
    SlideShowOptionsDialog dialog(m_options, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_options = dialog.options();
    if (m_store != nullptr)
        m_options.save(*m_store);
    layoutPicture();
}

void SlideShowWindow::showMenu(QPoint at) {
    if (m_menuOpen)
        return;
    m_menuOpen = true;
    const MenuItem popup{kCmdNone, "menu", slideShowMenuLayout()};
    const std::unique_ptr<QMenu> menu(m_commands->buildMenu(popup, this));
    menu->setObjectName(QStringLiteral("slideShowMenu"));
    m_commands->updateActions(menu.get());
    const QPointer<SlideShowWindow> self(this);
    if (m_menuExec)
        m_menuExec(*menu, mapToGlobal(at));
    else
        menu->exec(mapToGlobal(at));
    if (self)
        m_menuOpen = false;
}

void SlideShowWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        runCommand(m_options.spaceCommandId);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_I && event->modifiers() == Qt::NoModifier) {
        toggleInfoPane();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- mouse and wheel

void SlideShowWindow::updatePointer(QPoint at) {
    if (m_pan == Pan::Pressed || m_pan == Pan::Dragging)
        return;
    const bool large = m_stage.hasPicture() && m_stage.largerThan(size());
    m_pan = large ? Pan::Hover : Pan::Idle;
    setCursor(large ? Qt::OpenHandCursor : Qt::ArrowCursor);
    if (at.x() >= width() - kMenuCorner && at.y() < kMenuCorner)
        showMenu(at);
}

void SlideShowWindow::mousePressEvent(QMouseEvent* event) {
    m_pressPointer = m_lastPointer = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        m_rightHeld = true;
        m_rightMenuShown = false;
        m_rightHold.start(kRightHoldMs, this);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_pan = m_pan == Pan::Hover ? Pan::Pressed : Pan::Idle;
        if (m_pan == Pan::Pressed)
            setCursor(Qt::ClosedHandCursor);
    }
}

void SlideShowWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_pan == Pan::Pressed &&
        (std::abs(at.x() - m_pressPointer.x()) > 1 || std::abs(at.y() - m_pressPointer.y()) > 1))
        m_pan = Pan::Dragging;
    if (m_pan == Pan::Dragging) {
        if (m_stage.panBy(at - m_lastPointer, size()))
            update();
    } else {
        updatePointer(at);
    }
    m_lastPointer = at;
}

void SlideShowWindow::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        m_rightHold.stop();
        const bool menuShown = m_rightMenuShown;
        m_rightHeld = m_rightMenuShown = false;
        if (menuShown)
            return;
        if (playing())
            setPlaying(false);
        else
            step(m_buttonsSwapped ? -1 : 1);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const Pan was = m_pan;
    m_pan = Pan::Idle;
    updatePointer(at);
    if (was == Pan::Dragging)
        return;
    const bool onBar = m_options.positionBar && at.y() < viewer::PositionBar::kCellHeight + 2 &&
                       m_bar.entryAt(at.x()) >= 0;
    if (onBar)
        showEntry(m_bar.entryAt(at.x()));
    else if (playing())
        setPlaying(false);
    else
        step(m_buttonsSwapped ? 1 : -1);
}

void SlideShowWindow::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const QSize shown = m_stage.displaySize();
    if (shown.height() > height()) {
        if (m_stage.panBy({0, delta}, size()))
            update();
    } else if (shown.width() > width()) {
        if (m_stage.panBy({delta, 0}, size()))
            update();
    } else if (delta != 0) {
        // A turn towards the user goes on, away from the user goes back.
        step(delta < 0 ? 1 : -1);
    }
    event->accept();
}

void SlideShowWindow::closeEvent(QCloseEvent* event) {
    m_slideTimer.stop();
    m_animationTimer.stop();
    m_rightHold.stop();
    if (m_store != nullptr)
        m_options.save(*m_store);
    m_stage.clear();
    event->accept();
    emit closed();
}

} // namespace vemra
