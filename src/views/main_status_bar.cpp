#include "views/main_status_bar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace vemra {
namespace {

// The dark blue of the fill (0x800000 as a Windows colour: blue 0x80).
const QColor kFill(0x00, 0x00, 0x80);

// The texts that size the panes, as the status bar's resources gave them.
const char* const kSizingTexts[] = {"選択    0 ﾌｧｲﾙ (   0 MB) ", "画像数：            "};
constexpr int kMinimumWidths[] = {150, 150};

} // namespace

ProgressPane::ProgressPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("progressPane"));
}

void ProgressPane::setPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == m_percent) {
        return;
    }
    m_percent = percent;
    update();
}

QString ProgressPane::text() const {
    if (m_percent == 0) {
        return {};
    }
    return QStringLiteral("ｻﾑﾈｲﾙ作成 %1%").arg(m_percent);
}

QSize ProgressPane::sizeHint() const {
    // Fourteen blanks sized the pane; it is never narrower than 100 pixels,
    // nor than its longest text.
    const int blanks = fontMetrics().horizontalAdvance(QString(14, QLatin1Char(' ')));
    const int longest = fontMetrics().horizontalAdvance(QStringLiteral("ｻﾑﾈｲﾙ作成 100%")) + 8;
    return {std::max({blanks, longest, 100}), fontMetrics().height() + 4};
}

QSize ProgressPane::minimumSizeHint() const {
    // A narrow window cuts the volume line, never the progress.
    return sizeHint();
}

void ProgressPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, Qt::white);
    if (m_percent == 0) {
        return;
    }
    const QRect filled(area.left(), area.top(), area.width() * m_percent / 100, area.height());
    painter.fillRect(filled, kFill);
    const QString label = text();
    // The text in the fill's colour over the white part, in white over the
    // fill: each half clipped to its own part.
    painter.setClipRect(area.adjusted(filled.width(), 0, 0, 0));
    painter.setPen(kFill);
    painter.drawText(area, Qt::AlignCenter, label);
    painter.setClipRect(filled);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, label);
}

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusBar"));
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        if (i < 2) {
            const int width =
                label->fontMetrics().horizontalAdvance(QString::fromUtf8(kSizingTexts[i]));
            label->setMinimumWidth(std::max(width, kMinimumWidths[i]));
            addWidget(label, 0);
        } else {
            // The volume line takes the rest and is cut in a narrow window
            // rather than squeezing the progress pane.
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            addWidget(label, 1);
        }
        m_texts[static_cast<std::size_t>(i)] = label;
    }
    m_progress = new ProgressPane(this);
    addPermanentWidget(m_progress, 0);
}

void MainStatusBar::setPaneText(int pane, const std::string& text) {
    if (pane < 0 || pane >= static_cast<int>(m_texts.size())) {
        return;
    }
    m_texts[static_cast<std::size_t>(pane)]->setText(QString::fromStdString(text));
}

QString MainStatusBar::paneText(int pane) const {
    if (pane == kProgressPane) {
        return m_progress->text();
    }
    if (pane < 0 || pane >= static_cast<int>(m_texts.size())) {
        return {};
    }
    return m_texts[static_cast<std::size_t>(pane)]->text();
}

void MainStatusBar::setPaneProgress(int pane, int percent) {
    if (pane == kProgressPane) {
        m_progress->setPercent(percent);
    }
}

QWidget* MainStatusBar::pane(int index) const {
    if (index == kProgressPane) {
        return m_progress;
    }
    if (index < 0 || index >= static_cast<int>(m_texts.size())) {
        return nullptr;
    }
    return m_texts[static_cast<std::size_t>(index)];
}

} // namespace vemra
