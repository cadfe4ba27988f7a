#include "app/splash_window.h"

#include "imaging/bmp_file.h"
#include "imaging/picture_qimage.h"
#include "platform/file_status.h"

#include <QApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace vemra {

SplashWindow::SplashWindow(QImage picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(picture.isNull() ? builtinPicture() : std::move(picture)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(m_picture.size());
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SplashWindow::onTimer);
}

QImage SplashWindow::pictureFromFolder(const std::string& folder) {
    std::string path = folder;
    path += "/splash.bmp";
    if (!isExistingFile(path)) {
        return {};
    }
    const ReadResult read = readBmpFile(path);
    return read ? pictureToImage(read.picture) : QImage();
}

QImage SplashWindow::builtinPicture() {
    QImage image(380, 170, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(0x1c, 0x2b, 0x4a));
    sky.setColorAt(1.0, QColor(0x3d, 0x6a, 0x8f));
    painter.fillRect(image.rect(), sky);
    // A stack of three slides, the picture browser's emblem.
    for (int i = 2; i >= 0; --i) {
        const QRect slide(250 + i * 14, 52 - i * 12, 86, 66);
        painter.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 2));
        painter.setBrush(QColor::fromHsv(200 - i * 70, 110, 230));
        painter.drawRect(slide);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xd8, 0x60));
    painter.drawEllipse(QPoint(268, 70), 7, 7);
    QFont title(QStringLiteral("IPAGothic"));
    title.setPixelSize(36);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(0xff, 0xff, 0xff));
    painter.drawText(QRect(20, 96, 230, 44), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Vemra"));
    QFont version(QStringLiteral("IPAGothic"));
    version.setPixelSize(12);
    painter.setFont(version);
    painter.setPen(QColor(0xc8, 0xd8, 0xe8));
    painter.drawText(QRect(20, 140, 340, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Version " VEMRA_VERSION));
    return image;
}

void SplashWindow::setTextLine(int index, const std::string& text) {
    if (index < 0 || index > 64) {
        return;
    }
    if (m_lines.size() <= static_cast<std::size_t>(index)) {
        m_lines.resize(static_cast<std::size_t>(index) + 1);
    }
    m_lines[static_cast<std::size_t>(index)] = text;
    if (isVisible()) {
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void SplashWindow::start(std::function<bool()> mainWindowExists, int displayTimeMs) {
    m_mainWindowExists = std::move(mainWindowExists);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_timer.start(displayTimeMs);
}

void SplashWindow::onTimer() {
    if (m_mainWindowExists && !m_mainWindowExists()) {
        m_timer.start(kRetryMs);
        return;
    }
    close();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(kLineHeight);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setClipRect(m_textRect);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].empty()) {
            continue;
        }
        const int top = m_textRect.top() + static_cast<int>(i) * kLineHeight;
        painter.drawText(QRect(m_textRect.left(), top, m_textRect.width(), kLineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(m_lines[i]));
    }
}

} // namespace vemra
