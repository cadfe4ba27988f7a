#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace vemra {

// The start-up picture with a few text lines drawn on it.
//
// Qt widgets belong to the main thread, so unlike a splash in a thread of
// its own this window lives on the main thread; start-up repaints it at once
// (repaint + processEvents) whenever a text line changes, which keeps it
// current while the plug-ins load, the only long step.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDisplayTimeMs = 5000;
    static constexpr int kRetryMs = 100;
    static constexpr int kLineHeight = 12;

    // `picture` null: the built-in picture.
    explicit SplashWindow(QImage picture = {});

    // "splash.bmp" of `folder` when it holds a readable bitmap, else null.
    static QImage pictureFromFolder(const std::string& folder);
    // The picture drawn by code when there is no "splash.bmp".
    static QImage builtinPicture();

    // The rectangle the text lines are drawn in (clipped to it).
    void setTextRect(const QRect& rect) { m_textRect = rect; }
    QRect textRect() const { return m_textRect; }
    // Sets line `index` and redraws at once.
    void setTextLine(int index, const std::string& text);
    const std::vector<std::string>& textLines() const { return m_lines; }

    // Centres and shows the window and starts the display timer. When it
    // runs out the window closes if `mainWindowExists` says so, else it asks
    // again every 100 ms.
    void start(std::function<bool()> mainWindowExists, int displayTimeMs = kDisplayTimeMs);

    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onTimer();

    QImage m_picture;
    QRect m_textRect{20, 20, 340, 130};
    std::vector<std::string> m_lines;
    QTimer m_timer;
    std::function<bool()> m_mainWindowExists;
};

} // namespace vemra
