#include "views/thumbnail_grid.h"

#include "document/external_apps.h"
#include "document/folder_document.h"
#include "document/size_text.h"
#include "framework/command_actions.h"
#include "framework/command_id.h"
#include "framework/command_router.h"
#include "framework/command_table.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

#include <cstdio>
#include <memory>

namespace vemra {
namespace {

// Where a keyboard-opened menu appears: just inside the grid's corner.
constexpr int kKeyboardMenuInset = 5;

// A file name is shown as it is: "&" would otherwise be taken as a mnemonic.
QString menuText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

void ThumbnailGrid::setCommandActions(CommandActions* actions) {
    m_actions = actions;
}

CommandActions& ThumbnailGrid::actions() {
    if (m_actions == nullptr) {
        m_ownRouter = std::make_unique<CommandRouter>();
        m_ownRouter->setTarget(CommandRouter::Level::ActiveView, this);
        m_ownRouter->setTarget(CommandRouter::Level::Document, &m_document);
        m_ownActions =
            std::make_unique<CommandActions>(*m_ownRouter, CommandScope::MainWindow, this);
        m_actions = m_ownActions.get();
    }
    return *m_actions;
}

bool ThumbnailGrid::sendCommand(int id) {
    return actions().router().route(id);
}

void ThumbnailGrid::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse opens the menu on the right button's release; the keyboard
    // (the menu key) through this event.
    if (event->reason() == QContextMenuEvent::Keyboard)
        showContextMenu({}, true);
    event->accept();
}

void ThumbnailGrid::showContextMenu(QPoint point, bool fromKeyboard) {
    showEntryMenu(fromKeyboard ? m_document.focusedPosition() : hitTest(point),
                  fromKeyboard ? mapToGlobal(QPoint(kKeyboardMenuInset, kKeyboardMenuInset))
                               : viewport()->mapToGlobal(point));
}

void ThumbnailGrid::showEntryMenu(int entry, QPoint global) {
    int selected = m_document.selectedCount(true);
    if (selected > 1) {
        entry = -1;
    } else {
        // The menu is about one entry: the one under the pointer, or the
        // current one from the keyboard, becomes the only selection.
        if (entry < 0 && selected == 1) {
            for (int i = 0; i < m_document.displayedCount() && entry < 0; ++i) {
                if (m_document.entryAt(i)->isSelected())
                    entry = i;
            }
        }
        if (entry >= 0) {
            m_rangeInProgress = false;
            selectOnly(entry);
            setCurrent(entry);
            m_pressed = entry;
            selected = 1;
        }
    }

    CommandActions& commands = actions();
    const std::unique_ptr<QMenu> menu(
        commands.buildMenu(selected >= 2 ? gridSelectionMenu() : gridEntryMenu(), window()));
    menu->setObjectName(selected >= 2 ? QStringLiteral("gridSelectionMenu")
                                      : QStringLiteral("gridEntryMenu"));
    QString title;
    if (selected >= 2) {
        std::uint64_t bytes = 0;
        for (int i = 0; i < m_document.displayedCount(); ++i) {
            const PictureSource* e = m_document.entryAt(i);
            if (e->isSelected())
                bytes += e->length;
        }
        char line[128];
        std::snprintf(line, sizeof line, "選択 %dﾌｧｲﾙ(%s)", selected,
                      sizeText(bytes, 1, 4).c_str());
        title = QString::fromUtf8(line);
    } else if (const PictureSource* e = m_document.entryAt(entry)) {
        title = menuText(e->fileName);
    }
    QAction* const first = menu->actions().value(0);
    if (!title.isEmpty()) {
        // Nothing handles the title's command, so it shows disabled.
        auto* titleAction = new QAction(title, menu.get());
        titleAction->setObjectName(QStringLiteral("menuTitle"));
        titleAction->setProperty("vemraCommandId", static_cast<int>(kCmdMenuTitle));
        titleAction->setEnabled(commands.router().state(kCmdMenuTitle).enabled);
        menu->insertAction(first, titleAction);
        menu->insertSeparator(first);
    }
    addApplicationMenu(*menu, selected);
    commands.updateActions(menu.get());

    if (m_menuExec)
        m_menuExec(*menu, global);
    else
        menu->exec(global);
}

// "アプリケーションで開く(&G)" as the third item, when programs are
// registered; read afresh each time, as the registration may have changed.
void ThumbnailGrid::addApplicationMenu(QMenu& menu, int selected) {
    if (m_settings == nullptr)
        return;
    const std::vector<ExternalApp> apps = readExternalApps(*m_settings);
    if (apps.empty())
        return;
    CommandRouter& router = actions().router();
    auto* sub = new QMenu(QStringLiteral("アプリケーションで開く(&G)"), &menu);
    sub->setObjectName(QStringLiteral("applicationMenu"));
    for (int i = 0; i < static_cast<int>(apps.size()); ++i) {
        const ExternalApp& app = apps[static_cast<std::size_t>(i)];
        const int id = kCmdExternalAppFirst + i;
        QAction* item = sub->addAction(menuText(app.title));
        item->setProperty("vemraCommandId", id);
        item->setEnabled(router.state(id).enabled);
        // The mark tells that each picture gets a process of its own.
        if (selected >= 2 && app.launchPerFile) {
            item->setCheckable(true);
            item->setChecked(true);
        }
        connect(item, &QAction::triggered, this, [this, id] { sendCommand(id); });
    }
    const QList<QAction*> items = menu.actions();
    QAction* const before = items.value(2);
    menu.insertMenu(before, sub);
    menu.insertSeparator(before);
}

} // namespace vemra
