#include "framework/command_actions.h"

#include "framework/command_router.h"
#include "framework/idle_driver.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace vemra {

namespace {

// Where an action keeps its command id.
constexpr const char* kIdProperty = "vemraCommandId";

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CommandActions::CommandActions(CommandRouter& router, CommandScope scope, QWidget* window)
    : QObject(window), m_router(router), m_scope(scope), m_window(window) {
    // Keys are matched against enabled actions only, so the rules of this
    // window are asked right before a key is matched (Qt offers the key as
    // a shortcut override to the focus widget first).
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

CommandActions::~CommandActions() = default;

QAction* CommandActions::find(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

int CommandActions::commandOf(const QAction* action) {
    if (!action)
        return kCmdNone;
    bool ok = false;
    const int id = action->property(kIdProperty).toInt(&ok);
    return ok ? id : kCmdNone;
}

QAction* CommandActions::action(int id) {
    if (QAction* existing = find(id))
        return existing;
    auto* created = new QAction(this); // owned by this object, Qt's model
    created->setProperty(kIdProperty, id);
    if (const CommandInfo* info = findCommand(id, m_scope)) {
        created->setText(toQString(info->text));
        QList<QKeySequence> keys;
        for (std::string_view key : info->keyList())
            keys.append(QKeySequence::fromString(toQString(key), QKeySequence::PortableText));
        created->setShortcuts(keys);
        if (!keys.isEmpty() && m_window)
            m_window->addAction(created);
    } else {
        created->setText(toQString(commandText(id, m_scope)));
    }
    connect(created, &QAction::triggered, this, [this, created] { trigger(created); });
    m_actions.emplace(id, created);
    updateAction(created);
    return created;
}

void CommandActions::createAll() {
    for (const CommandInfo& info : commandTable(m_scope))
        action(info.id);
}

void CommandActions::updateAction(QAction* action) {
    const int id = commandOf(action);
    if (!action || id == kCmdNone)
        return;
    const CommandState state = m_router.state(id);
    action->setEnabled(state.enabled);
    if (state.checked && !action->isCheckable())
        action->setCheckable(true);
    if (action->isCheckable())
        action->setChecked(state.checked);
}

void CommandActions::updateActions(const QWidget* widget) {
    if (!widget)
        return;
    QList<QAction*> actions = widget->actions();
    // A button with a drop-down menu (back, forward, the thumbnail sizes)
    // is added to its tool bar as a widget: its command is its default
    // action, which the bar's own list does not hold.
    for (const QToolButton* button :
         widget->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->defaultAction() != nullptr && !actions.contains(button->defaultAction()))
            actions.append(button->defaultAction());
    }
    for (QAction* a : actions) {
        if (a->parent() == this)
            updateAction(a);
    }
}

void CommandActions::updateAll() {
    for (const auto& [id, a] : m_actions)
        updateAction(a);
}

void CommandActions::trigger(QAction* action) {
    // The command may close the window, and with it these actions.
    const QPointer<CommandActions> self(this);
    const QPointer<QAction> guard(action);
    m_router.route(commandOf(action));
    // A checkable action flips itself when triggered; the rule decides.
    if (self && guard)
        updateAction(action);
}

void CommandActions::trackMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { updateActions(menu); });
}

void CommandActions::trackToolBar(QWidget* bar) {
    if (bar)
        m_toolBars.emplace_back(bar);
}

void CommandActions::updateToolBars() {
    std::erase_if(m_toolBars, [](const QPointer<QWidget>& bar) { return bar.isNull(); });
    for (const QPointer<QWidget>& bar : m_toolBars)
        updateActions(bar);
}

void CommandActions::connectIdle(IdleDriver& driver) {
    connect(&driver, &IdleDriver::idleStarted, this, &CommandActions::updateToolBars);
}

QMenu* CommandActions::buildMenu(std::span<const int> ids, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (int id : ids) {
        if (id == kCmdNone)
            menu->addSeparator();
        else
            menu->addAction(action(id));
    }
    trackMenu(menu);
    return menu;
}

QMenu* CommandActions::buildMenu(const MenuItem& popup, QWidget* parent) {
    auto* menu = new QMenu(toQString(popup.text), parent);
    fillMenu(menu, popup.items);
    trackMenu(menu);
    return menu;
}

void CommandActions::fillMenu(QMenu* menu, std::span<const MenuItem> items) {
    for (const MenuItem& item : items) {
        if (item.isSeparator())
            menu->addSeparator();
        else if (item.isPopup())
            menu->addMenu(buildMenu(item, menu));
        else
            menu->addAction(action(item.id));
    }
}

void CommandActions::buildMenuBar(QMenuBar* bar, std::span<const MenuItem> layout) {
    for (const MenuItem& item : layout) {
        if (item.isPopup())
            bar->addMenu(buildMenu(item, bar));
        else if (!item.isSeparator())
            bar->addAction(action(item.id));
    }
}

bool CommandActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && m_window) {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (widget && widget->window() == m_window)
            updateForKey(static_cast<const QKeyEvent*>(event)->key());
    }
    return QObject::eventFilter(watched, event);
}

void CommandActions::updateForKey(int key) {
    // Only the actions the key may match: some rules look at the clipboard
    // or the file system, which is too slow for every key stroke. Shift+Tab
    // arrives as Backtab; the keypad and Shift variants share the key.
    const int alternative = key == Qt::Key_Backtab ? Qt::Key_Tab : key;
    for (const auto& [id, a] : m_actions) {
        for (const QKeySequence& sequence : a->shortcuts()) {
            const int bound = sequence.isEmpty() ? 0 : sequence[0].key();
            if (bound == key || bound == alternative) {
                updateAction(a);
                break;
            }
        }
    }
}

} // namespace vemra
