#pragma once

#include "framework/command_router.h"
#include "framework/command_target.h"
#include "views/viewer_options.h"

#include <QMainWindow>

#include <array>

class QLabel;
class QToolBar;

namespace vemra {

class CommandActions;
class FolderDocument;
class PictureView;
class SettingsStore;
class ViewerList;

// The picture viewer's frame: a top-level window with its menu bar, tool
// bar and status bar around one PictureView. Its title follows TitleFormat
// for the shown entry; the status panes show size and depth, the scale and
// the decoder's information text. In mode 1 it takes the picture's display
// size (within the screen). Its options live in section "OnePic": read
// when it opens, written when it closes. The grid's ViewerList opens it and
// keeps it in its list.
class ViewerWindow : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    // `store` may be null; `list` (may be null) answers the commands about
    // other viewer windows and learns when this one closes.
    ViewerWindow(FolderDocument& document, SettingsStore* store, ViewerList* list);
    ~ViewerWindow() override;

    PictureView* view() const { return m_view; }
    CommandRouter& router() { return m_router; }
    CommandActions* commands() const { return m_commands; }
    ViewerFrameOptions& frameOptions() { return m_frame; }
    QToolBar* toolBar() const { return m_toolBar; }
    // The texts now in the status panes.
    std::array<QString, 3> statusTexts() const;
    // Routes `id` as a menu item or key would.
    bool runCommand(int id);
    // Tells the window its list is gone (the grid goes first).
    void detachFromList() { m_list = nullptr; }

    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refreshTexts();
    void fitToPicture(QSize display);
    void applyStoredPlacement();
    void setTopMost(bool on);

    FolderDocument& m_document;
    SettingsStore* m_store;
    ViewerList* m_list;
    ViewerFrameOptions m_frame;
    CommandRouter m_router;
    CommandActions* m_commands = nullptr;
    PictureView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    std::array<QLabel*, 3> m_panes{};
};

} // namespace vemra
