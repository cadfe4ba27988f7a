#pragma once

#include <QStatusBar>
#include <QWidget>

#include <array>
#include <string>

class QLabel;

namespace vemra {

// The status bar's last pane: filled in dark blue to the percentage, white
// elsewhere, with "ｻﾑﾈｲﾙ作成 %d%%" drawn in inverse colours over the fill.
class ProgressPane : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPane(QWidget* parent = nullptr);

    // 0 clears the pane; values are kept within 0..100.
    void setPercent(int percent);
    int percent() const { return m_percent; }
    QString text() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_percent = 0;
};

// The main window's status bar: selection, picture count, the volume line,
// and the progress of thumbnail creation.
class MainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPaneCount = 4;
    static constexpr int kProgressPane = 3;

    explicit MainStatusBar(QWidget* parent = nullptr);

    // The text of pane 0..2 (pane 3 shows progress only).
    void setPaneText(int pane, const std::string& text);
    QString paneText(int pane) const;
    // Progress in `pane` (only the progress pane draws it).
    void setPaneProgress(int pane, int percent);
    ProgressPane* progressPane() const { return m_progress; }
    QWidget* pane(int index) const;

private:
    std::array<QLabel*, 3> m_texts{};
    ProgressPane* m_progress = nullptr;
};

} // namespace vemra
