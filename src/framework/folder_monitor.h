#pragma once

#include "framework/change_burst.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace vemra {

class FolderWatch;

// Watches the folder the document shows (with its sub-folders when the
// document lists theirs too) and says changed() once per burst of changes
// made by other programs (see ChangeBurst). Notices come through inotify on
// the interface thread; no thread of its own is needed, so stopping is
// immediate. Ignored: changes while the program's own file operation runs
// (OwnFileOperation), and the program's own files in picture folders
// ("_THUMBS_.KPI", "_NOTE_.KPI", "DIRINFO.KPI" and their temporary files),
// which the document itself writes while it shows the folder.
class FolderMonitor : public QObject {
    Q_OBJECT
public:
    explicit FolderMonitor(QObject* parent = nullptr);
    ~FolderMonitor() override;

    // Watches `folder` unless it is watched already the same way; another
    // folder stops the old watch first. With `subFolders` every folder below
    // is watched too (up to FolderWatch's cap), new ones as they appear.
    void watch(const std::string& folder, bool subFolders);
    // Stops watching, forgets the folder and any burst in progress.
    void stop();
    const std::string& folder() const { return m_folder; }
    bool isWatching() const { return !m_folder.empty(); }
    // How many folders are watched now.
    int watchedCount() const;

    // The entries shown, which widen the burst's window; none when unset.
    void setEntryCount(std::function<int()> count) { m_entryCount = std::move(count); }
    // True while the folder cannot be read again yet (a scan runs): the
    // burst's end waits for the next tick.
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Milliseconds on a steady clock; tests give a fake one.
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

    // Reads the waiting notices now (the socket notifier does it by itself).
    void readNotices();
    // One tick of the 100 ms timer (the timer does it by itself).
    void tick();
    const ChangeBurst& burst() const { return m_burst; }

    // Whether a change to the item `name` is one the monitor ignores.
    static bool isOwnFileName(std::string_view name);

signals:
    // A burst of changes settled: read the folder again.
    void changed();

private:
    void noticeChange();
    void addTree(const std::string& folder, int depth);
    std::int64_t now() const;

    std::unique_ptr<FolderWatch> m_watch;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_timer;
    ChangeBurst m_burst;
    std::string m_folder;
    bool m_subFolders = false;
    int m_ownEndListener = 0;
    std::function<int()> m_entryCount;
    std::function<bool()> m_busy;
    std::function<std::int64_t()> m_clock;
};

} // namespace vemra
