#pragma once

#include "framework/command_table.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <span>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace vemra {

class CommandRouter;
class IdleDriver;

// The actions of one window: one QAction per command id, shared by its menu
// bar, tool bars, context menus and keys. Texts and keys come from the
// window kind's command table; triggering an action routes the command
// through the window's router. Enabling rules are asked when a menu built
// here is about to show, right before a key of this window is matched, and
// whenever updateActions/updateAll is called (the frame does it in idle time
// for its tool bars). A rule that reports a check mark makes the action
// checkable.
class CommandActions : public QObject {
    Q_OBJECT
public:
    // `window` (may be null in tests) receives the actions that have keys,
    // so that the keys work anywhere inside it; it also parents this object.
    CommandActions(CommandRouter& router, CommandScope scope, QWidget* window);
    ~CommandActions() override;

    // The action of `id`, made on first use. Ids outside the table (the
    // numbered ranges, the menu title) get an empty text for the caller.
    QAction* action(int id);
    // The action of `id` when it was made, else null.
    QAction* find(int id) const;
    // The command an action of this object sends, or kCmdNone.
    static int commandOf(const QAction* action);

    CommandScope scope() const { return m_scope; }
    CommandRouter& router() const { return m_router; }

    // Makes the actions of every command in the table (so all keys work).
    void createAll();

    // Asks the enabling rule of one action, of every action shown by a
    // widget (a menu, a tool bar), or of every action made so far.
    void updateAction(QAction* action);
    void updateActions(const QWidget* widget);
    void updateAll();

    // Asks the rules of `menu`'s actions each time it is about to show.
    void trackMenu(QMenu* menu);
    // Adds a tool bar (or any widget showing actions) to those brought up to
    // date by updateToolBars(), which runs whenever `driver` starts idle
    // time once connectIdle() was called.
    void trackToolBar(QWidget* bar);
    void updateToolBars();
    void connectIdle(IdleDriver& driver);

    // A popup menu of the given ids (kCmdNone = separator), tracked.
    QMenu* buildMenu(std::span<const int> ids, QWidget* parent);
    // A popup menu from a layout (nested popups included), tracked.
    QMenu* buildMenu(const MenuItem& popup, QWidget* parent);
    // Fills a menu bar from a layout of popups.
    void buildMenuBar(QMenuBar* bar, std::span<const MenuItem> layout);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void trigger(QAction* action);
    void updateForKey(int key);
    void fillMenu(QMenu* menu, std::span<const MenuItem> items);

    CommandRouter& m_router;
    CommandScope m_scope;
    QWidget* m_window;
    std::map<int, QAction*> m_actions;
    std::vector<QPointer<QWidget>> m_toolBars;
};

} // namespace vemra
