#pragma once

#include <QDialog>

#include <string_view>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vemra {

// The progress window of long commands ("実行中"): a title from the caller,
// one text line, a bar with a range and a step (0-100 by 10 unless set),
// the percentage as "%d%", and "中止", which sets a cancel flag. It is
// modeless: the command's loop runs on and updates it, and every update
// handles the pending events so the window paints and the button works.
// The loop asks checkCancelButton() after each item, which also clears the
// flag.
//
// While shown it keeps input from the owner's window (unless told not to),
// so no other command of that window can start in the middle of this one.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    // An empty title keeps "実行中".
    explicit ProgressWindow(QWidget* owner, std::string_view title = {});
    ~ProgressWindow() override;

    // Whether the owner's window takes no input while this one is shown;
    // set before show(). On by default.
    void setBlocksOwner(bool blocks);

    void setTitle(std::string_view title);
    void setText(std::string_view text);
    void setRange(int lower, int upper);
    void setStep(int step);
    // Positions are kept within the range.
    void setPosition(int position);
    void offsetPosition(int delta);
    void stepIt();

    int lower() const { return m_lower; }
    int upper() const { return m_upper; }
    int step() const { return m_step; }
    int position() const { return m_position; }
    // The percentage of the range done, 0-100, and its text.
    int percent() const;
    QString percentText() const;
    QString text() const;

    // Handles pending events, then answers whether "中止" was pressed since
    // the last call, and clears the flag.
    bool checkCancelButton();
    // The flag as it stands, without handling events or clearing it.
    bool cancelRequested() const { return m_cancelled; }
    void clearCancel() { m_cancelled = false; }
    // What "中止" does.
    void requestCancel() { m_cancelled = true; }

    QPushButton* cancelButton() const { return m_cancel; }

protected:
    // Escape and the title bar's close button mean "中止" too; the window
    // stays until its command closes it.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();   // shows the state and handles pending events
    void showState(); // bar and percentage only
    static void pumpEvents();

    QLabel* m_text;
    QProgressBar* m_bar;
    QLabel* m_percent;
    QPushButton* m_cancel;
    int m_lower = 0;
    int m_upper = 100;
    int m_step = 10;
    int m_position = 0;
    bool m_cancelled = false;
};

} // namespace vemra
