#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QEvent;

namespace vemra {

// Lets the user stop a scan that runs on the user-interface thread. While
// the scan asks check(), pending events are handled with input held back:
// Escape, an arrow key, or a left or right button press stops the scan and
// is kept for afterwards; any other key press is dropped (no shortcut runs
// meanwhile), and other input
// (releases, double clicks, the wheel) is kept too. When the object goes,
// the kept input is handed back to the event loop in its order, so the
// click or key that stopped the scan still does its work.
class ScanInterruption : public QObject {
    Q_OBJECT
public:
    ScanInterruption();
    ~ScanInterruption() override;

    // Handles pending events as above; true once the scan should stop.
    bool check();
    bool interrupted() const { return m_interrupted; }
    // check() as a function, for FolderDocument::setInterruptionCheck. The object
    // must outlive the scan that uses it.
    std::function<bool()> checker() {
        return [this] { return check(); };
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keep(QObject* receiver, const QEvent& event);

    static constexpr std::size_t kMaxKept = 256;
    bool m_checking = false;
    bool m_interrupted = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_kept;
};

} // namespace vemra
