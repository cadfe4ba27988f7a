#include "views/picture_view.h"

#include "document/caption_macros.h"
#include "document/folder_document.h"
#include "document/photo_facts.h"
#include "framework/command_id.h"
#include "framework/wait_cursor.h"
#include "settings/settings_store.h"
#include "views/photo_info_pane.h"
#include "views/viewer_geometry.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

namespace vemra {

PictureView::PictureView(FolderDocument& document, SettingsStore* store, QWidget* parent)
    : QWidget(parent), m_document(document), m_store(store),
      m_options(store != nullptr ? ViewerOptions::load(*store) : ViewerOptions{}),
      m_lookAhead(document) {
    setObjectName(QStringLiteral("pictureView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(32, 32);
    m_stage.setRules(m_options.fit);
    m_infoPane = new PhotoInfoPane(this);
    m_infoPane->move(8, 8);
}

void PictureView::toggleInfoPane() {
    m_infoPane->setMetadata(m_metadata);
    m_infoPane->setVisible(!m_infoPane->isVisible());
    m_infoPane->raise();
}

PictureView::~PictureView() {
    stopTimers();
    if (m_store != nullptr)
        m_options.save(*m_store);
}

std::int64_t PictureView::now() const {
    return m_clock ? m_clock() : steadyMilliseconds();
}

void PictureView::setClock(Clock clock) {
    m_clock = std::move(clock);
}

void PictureView::saveOptionsAndDetach() {
    stopTimers();
    if (m_store != nullptr)
        m_options.save(*m_store);
    m_store = nullptr;
}

void PictureView::setOptions(const ViewerOptions& options) {
    m_options = options;
    m_stage.setRules(m_options.fit);
    redisplay(false);
}

bool PictureView::entryExists(int position) const {
    return entryAvailable(m_document, position);
}

// --- showing

void PictureView::showEntry(int position) {
    if (m_loading || !entryExists(position))
        return;
    m_loading = true;
    m_animationTimer.stop();
    // The frames of the picture shown so far go before the next is decoded.
    m_stage.clear();
    std::optional<LoadedPicture> ready = m_lookAhead.take(position);
    if (!ready) {
        const WaitCursor busy;
        ready = loadViewerPicture(m_document, position, !m_sequential.isActive());
    }
    takePicture(std::move(*ready));
    m_loading = false;
    // The commands' states change as loading ends.
    emit pictureChanged();
}

void PictureView::takePicture(LoadedPicture loaded) {
    m_position = loaded.position;
    m_entry = std::move(loaded.entry);
    m_metadata = std::move(loaded.metadata);
    m_infoPane->setMetadata(m_metadata);
    const bool animated = loaded.animation != nullptr;
    m_stage.setPicture(std::move(loaded.picture), std::move(loaded.animation), now());
    redisplay(false);
    if (animated)
        m_animationTimer.start(FrameAnimation::kTickMs, this);
    planLookAhead(m_direction);
}

void PictureView::clearPicture() {
    stopTimers();
    m_lookAhead.clear();
    m_stage.clear();
    m_entry.reset();
    m_metadata = {};
    m_infoPane->setMetadata(m_metadata);
    m_position = -1;
    update();
    emit pictureChanged();
}

void PictureView::redisplay(bool keepZoom) {
    m_stage.setRules(m_options.fit);
    m_stage.layout(size(), keepZoom);
    afterGeometryChange();
}

void PictureView::afterGeometryChange() {
    if (m_stage.hasPicture() && m_options.fit.fitSize == 1)
        emit fitRequested(m_stage.displaySize());
    updatePointer();
    update();
    emit pictureChanged();
}

void PictureView::planLookAhead(int direction) {
    const int count = m_document.displayedCount();
    int next = m_position + direction;
    if (m_options.repeat && count > 0)
        next = (next + count) % count;
    m_lookAhead.want(entryExists(next) ? next : -1);
}

bool PictureView::idleStep(const std::function<bool()>& shouldStop) {
    return m_lookAhead.idleStep(shouldStop);
}

// --- navigation

void PictureView::showFirst() {
    if (m_loading)
        return;
    for (int i = 0; i < m_document.displayedCount(); ++i) {
        if (entryExists(i)) {
            if (i != m_position) {
                m_direction = 1;
                showEntry(i);
            }
            return;
        }
    }
}

void PictureView::showLast() {
    if (m_loading)
        return;
    for (int i = m_document.displayedCount() - 1; i >= 0; --i) {
        if (entryExists(i)) {
            if (i != m_position) {
                m_direction = -1;
                showEntry(i);
            }
            return;
        }
    }
}

void PictureView::showNext() {
    if (m_loading)
        return;
    m_direction = 1;
    int next = m_position + 1;
    if (!entryExists(next))
        next = m_options.repeat ? 0 : m_position;
    showEntry(next);
}

void PictureView::showPrevious() {
    if (m_loading)
        return;
    m_direction = -1;
    int previous = m_position - 1;
    while (previous >= 0 && !entryExists(previous))
        --previous;
    if (previous < 0)
        previous = m_options.repeat ? m_document.displayedCount() - 1 : m_position;
    showEntry(previous);
}

// --- timers

void PictureView::stopTimers() {
    m_animationTimer.stop();
    m_sequential.stop();
}

void PictureView::startSequential() {
    m_animationTimer.stop();
    m_lastStep = now();
    m_sequential.start(FrameAnimation::kTickMs, this);
}

void PictureView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_animationTimer.timerId())
        animationTick();
    else if (event->timerId() == m_sequential.timerId())
        sequentialTick();
    else
        QWidget::timerEvent(event);
}

void PictureView::animationTick() {
    if (m_stage.animation() == nullptr || m_stage.animation()->frameCount() < 2) {
        m_animationTimer.stop();
        return;
    }
    if (m_stage.tick(now()))
        update();
}

int PictureView::nextPictureEntry(int from) {
    const int count = m_document.displayedCount();
    // Each entry is tried at most once per step, so a folder without
    // pictures cannot keep the timer busy for ever.
    for (int tried = 0, i = from + 1; tried < count; ++tried, ++i) {
        if (i >= count) {
            if (!m_options.repeat)
                return -1;
            i = 0;
        }
        PictureSource* entry = m_document.entryAt(i);
        if (entry == nullptr)
            continue;
        if (entry->decoder == kNoDecoder) {
            // Not identified yet: a picture that cannot be decoded is no
            // picture for this purpose.
            LoadedPicture probe = loadViewerPicture(m_document, i, false);
            if (probe.code != 0)
                continue;
            m_lookAhead.clear();
            takePicture(std::move(probe));
            return -2; // shown already
        }
        return i;
    }
    return -1;
}

void PictureView::sequentialTick() {
    if (m_loading || now() - m_lastStep < m_options.sleepTime)
        return;
    m_lastStep = now();
    m_direction = 1;
    const int next = nextPictureEntry(m_position);
    if (next == -1) {
        m_sequential.stop();
        return;
    }
    if (next >= 0)
        showEntry(next);
    m_lastStep = now();
}

// --- painting and size

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_stage.paint(painter, size(), QStringLiteral("画像表示できません"));
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_stage.layout(size(), true);
    updatePointer();
    update();
    emit pictureChanged();
}

std::array<QString, 3> PictureView::statusTexts() const {
    std::array<QString, 3> texts;
    if (!m_entry || !m_stage.hasPicture())
        return texts;
    const QSize own = m_stage.pictureSize();
    // Upright, as the picture is shown.
    const PictureSize upright = uprightPictureSize(*m_entry);
    const int width = upright.width > 0 ? upright.width : own.width();
    const int height = upright.height > 0 ? upright.height : own.height();
    const int bits = m_entry->bitCount > 0 ? m_entry->bitCount : m_stage.frame().bitCount();
    char size[96];
    std::snprintf(size, sizeof size, "%ldx%ld %d bit", static_cast<long>(width),
                  static_cast<long>(height), bits);
    texts[0] = QString::fromUtf8(size);
    texts[1] = QString::fromStdString(viewer::scaleText(m_stage.scale()));
    texts[2] = QString::fromStdString(m_entry->infoText);
    return texts;
}

QString PictureView::titleText(const std::string& format) const {
    return QString::fromStdString(m_entry ? expandCaption(format, *m_entry)
                                          : expandCaptionWithoutPicture(format));
}

} // namespace vemra
