#include "views/main_window.h"

#include "document/folder_document.h"
#include "framework/command_actions.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/thumb_size_menu.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace vemra {
namespace {

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

// The tool bar: button order and icons (from the icon theme, with the
// style's pictures where the theme has none).
struct ToolButton {
    int id;
    const char* themeName;
    QStyle::StandardPixmap fallback;
};
constexpr ToolButton kToolButtons[] = {
    {kCmdHistoryBack, "go-previous", QStyle::SP_ArrowBack},
    {kCmdHistoryForward, "go-next", QStyle::SP_ArrowForward},
    {kCmdRefresh, "view-refresh", QStyle::SP_BrowserReload},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdLargerThumbnails, "zoom-in", QStyle::SP_ArrowUp},
    {kCmdSmallerThumbnails, "zoom-out", QStyle::SP_ArrowDown},
    {kCmdPreviousPage, "go-up", QStyle::SP_ArrowLeft},
    {kCmdNextPage, "go-down", QStyle::SP_ArrowRight},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdCopyFiles, "edit-copy", QStyle::SP_FileIcon},
    {kCmdMoveFiles, "go-jump", QStyle::SP_FileLinkIcon},
    {kCmdDeleteFiles, "edit-delete", QStyle::SP_TrashIcon},
    {kCmdSaveThumbnails, "document-save", QStyle::SP_DialogSaveButton},
    {0, nullptr, QStyle::SP_CustomBase},
    {kCmdDisplayFilter, "view-filter", QStyle::SP_FileDialogDetailedView},
    {kCmdAppAbout, "help-about", QStyle::SP_MessageBoxInformation},
};
} // namespace

// --- actions, menus and bars

void MainWindow::createToolBars() {
    m_toolBar = new QToolBar(QStringLiteral("ツール バー"), this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(!m_frameSettings.flatBar);
    m_backMenu = new QMenu(this);
    m_forwardMenu = new QMenu(this);
    m_sizeMenu = new QMenu(this);
    connect(m_backMenu, &QMenu::aboutToShow, this, [this] { fillHistoryMenu(false); });
    connect(m_forwardMenu, &QMenu::aboutToShow, this, [this] { fillHistoryMenu(true); });
    connect(m_sizeMenu, &QMenu::aboutToShow, this, &MainWindow::fillSizeMenu);
    for (QMenu* menu : {m_backMenu, m_forwardMenu, m_sizeMenu}) {
        connect(menu, &QMenu::triggered, this,
                [this](QAction* chosen) { runCommand(chosen->data().toInt()); });
    }
    for (const ToolButton& button : kToolButtons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = action(button.id);
        a->setIcon(themeIcon(button.themeName, button.fallback));
        QMenu* dropDown = button.id == kCmdHistoryBack         ? m_backMenu
                          : button.id == kCmdHistoryForward    ? m_forwardMenu
                          : button.id == kCmdSmallerThumbnails ? m_sizeMenu
                                                               : nullptr;
        if (dropDown == nullptr) {
            m_toolBar->addAction(a);
            continue;
        }
        auto* tool = new QToolButton(m_toolBar);
        tool->setDefaultAction(a);
        tool->setMenu(dropDown);
        tool->setPopupMode(QToolButton::MenuButtonPopup);
        tool->setAutoRaise(true);
        m_toolBar->addWidget(tool);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    m_commands->trackToolBar(m_toolBar);

    m_pluginSetBar = new QToolBar(QStringLiteral("プラグインセット バー"), this);
    m_pluginSetBar->setObjectName(QStringLiteral("pluginSetBar"));
    m_pluginSetBar->setMovable(!m_frameSettings.flatBar);
    m_pluginSetBar->addWidget(new QLabel(QStringLiteral(" プラグインセット "), m_pluginSetBar));
    m_pluginSetList = new QComboBox(m_pluginSetBar);
    m_pluginSetList->setObjectName(QStringLiteral("pluginSetList"));
    m_pluginSetList->setMinimumContentsLength(16);
    m_pluginSetList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_pluginSetList, &QComboBox::activated, this,
            [this] { runCommand(kCmdPluginSetList); });
    m_pluginSetBar->addWidget(m_pluginSetList);
    // Flat bars share one row, as the two bands of a rebar did.
    addToolBar(Qt::TopToolBarArea, m_pluginSetBar);
    reloadPluginSets();
}

// --- drop-down menus

void MainWindow::fillSizeMenu() {
    m_sizeMenu->clear();
    for (const thumb_size_menu::Item& item : thumb_size_menu::build(m_settings)) {
        if (item.id == 0) {
            m_sizeMenu->addSeparator();
        } else {
            m_sizeMenu->addAction(qtext(item.text))->setData(item.id);
        }
    }
}

void MainWindow::fillHistoryMenu(bool forward) {
    QMenu* menu = forward ? m_forwardMenu : m_backMenu;
    menu->clear();
    const auto& history = m_document.history();
    const int current = m_document.historyPosition();
    if (forward) {
        for (int p = current + 1, i = 0;
             p < static_cast<int>(history.size()) && kCmdHistoryForwardFirst + i <= kCmdHistoryLast;
             ++p, ++i) {
            menu->addAction(qtext(history[static_cast<std::size_t>(p)]))
                ->setData(kCmdHistoryForwardFirst + i);
        }
    } else {
        for (int p = current - 1, i = 0; p >= 0 && kCmdHistoryFirst + i < kCmdHistoryForwardFirst;
             --p, ++i) {
            menu->addAction(qtext(history[static_cast<std::size_t>(p)]))
                ->setData(kCmdHistoryFirst + i);
        }
    }
}

// --- plug-in sets

void MainWindow::reloadPluginSets() {
    m_pluginSetList->clear();
    if (m_registry == nullptr) {
        m_pluginSetList->setEnabled(false);
        return;
    }
    // The unnamed set is the default one; the named ones are those of the
    // plug-in settings dialog's list and those saved in the settings.
    std::vector<std::string> names{std::string()};
    auto add = [&names](std::string_view name) {
        std::string text(name);
        if (text == "_Default") {
            text.clear();
        }
        if (std::find(names.begin(), names.end(), text) == names.end()) {
            names.push_back(std::move(text));
        }
    };
    // The fields point into the text, which must outlive the loop.
    const std::string setList = m_settings.getText("SPI", "SPISetList", "");
    for (std::string_view name : splitFields(setList)) {
        add(name);
    }
    for (const std::string& name : m_registry->setNames()) {
        add(name);
    }
    add(m_registry->currentSet());
    for (const std::string& name : names) {
        m_pluginSetList->addItem(QString::fromStdString(name));
    }
    m_pluginSetList->setCurrentIndex(
        m_pluginSetList->findText(QString::fromStdString(m_registry->currentSet())));
}

void MainWindow::onPluginSetChosen() {
    if (m_registry == nullptr) {
        return;
    }
    const std::string chosen = m_pluginSetList->currentText().toStdString();
    if (chosen == m_registry->currentSet()) {
        return;
    }
    {
        const auto hold = m_document.holdDecoding();
        m_registry->loadSet(chosen);
        m_registry->applyDynamicLoading();
    }
    m_document.updateAllViews(nullptr, hint::RedrawAll{});
}

} // namespace vemra
