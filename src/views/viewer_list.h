#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace vemra {

class FolderDocument;
class SettingsStore;
class ViewerWindow;

// The viewer windows the thumbnail grid opened, in opening order: opening
// an entry (in a new window or the first one), the frame requests among
// them (next and previous window, tiling, closing one or all, back to the
// main window), following the grid's current entry, and what a change of
// folder does to them ("Stay": emptied, else closed). It also gives their
// look-ahead decoding its share of idle time. Interface thread only.
class ViewerList {
public:
    // `home` is the window "back to the main window" activates.
    ViewerList(FolderDocument& document, QWidget* home);
    ~ViewerList();
    ViewerList(const ViewerList&) = delete;
    ViewerList& operator=(const ViewerList&) = delete;

    // May be null: viewers then read and write no options.
    void setSettingsStore(SettingsStore* store) { m_store = store; }

    // Shows `position` in a viewer: a new one when `newWindow`, when
    // "MultiPicView" is on or when none is open, else the first one. The
    // window is shown and activated.
    ViewerWindow* open(int position, bool newWindow);
    int count() const;
    ViewerWindow* at(int index) const;

    // A viewer closed itself or went: it leaves the list.
    void forget(ViewerWindow* window);
    void closeAll();
    // A new folder is being read: viewers are emptied with "Stay", else closed.
    void folderChanging();
    // "Synchronous": the first viewer shows the grid's current entry.
    void follow(int position);
    // Activates the viewer `step` places after `from` (wrapping).
    void focusNext(ViewerWindow* from, int step);
    // Lays the viewers out over the screen: rows = floor(sqrt(n)),
    // columns = ceil(n / rows).
    void tile();
    void backToMain();

    // One share of idle time for the viewers' look-ahead (and the
    // full-screen window's); true while more is wanted.
    bool idleStep(const std::function<bool()>& shouldStop);

private:
    void prune();

    FolderDocument& m_document;
    QPointer<QWidget> m_home;
    SettingsStore* m_store = nullptr;
    std::vector<QPointer<ViewerWindow>> m_windows;
};

} // namespace vemra
