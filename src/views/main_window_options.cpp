#include "document/external_apps.h"
#include "document/folder_document.h"
#include "framework/command_id.h"
#include "framework/message_box.h"
#include "framework/update_hint.h"
#include "settings/settings_store.h"
#include "views/behaviour_options.h"
#include "views/cache_maintenance_dialog.h"
#include "views/folder_tree.h"
#include "views/list_edit_dialog.h"
#include "views/main_window.h"
#include "views/options_dialog.h"
#include "views/plugin_dialog.h"
#include "views/thumbnail_grid.h"
#include "views/thumbnail_settings_dialog.h"

namespace vemra {

bool MainWindow::onOptionsCommand(int id) {
    switch (id) {
    case kCmdBehaviourOptions:
        editBehaviourOptions();
        return true;
    case kCmdThumbnailOptions:
        editThumbnailOptions();
        return true;
    case kCmdPluginSettings:
        editPlugins();
        return true;
    case kCmdThumbnailMaintenance:
        maintainThumbnailCache();
        return true;
    case kCmdEditList: {
        ListEditDialog dialog(m_settings, this);
        dialog.exec();
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::editBehaviourOptions() {
    const BehaviourOptions before = BehaviourOptions::gather(
        m_document.options(), m_grid->options(), m_frameSettings, m_settings);
    std::vector<std::string> titles;
    for (const ExternalApp& app : readExternalApps(m_settings))
        titles.push_back(app.title);
    OptionsDialog dialog(before, OptionsDialog::doubleClickChoices(titles), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const BehaviourOptions after = dialog.values();
    if (after == before)
        return;

    GridOptions grid = m_grid->options();
    after.applyTo(m_document.options(), grid, m_frameSettings);
    m_grid->setOptions(grid);
    // The tree writes its own options when it goes: it must hold the new one.
    m_tree->setMonitoring(after.monitoring);
    followShownFolder();
    {
        SettingsStore::Batch batch(m_settings);
        m_document.saveOptions();
        grid.save(m_settings);
        m_frameSettings.saveSwitches(m_settings);
        after.saveWindowSwitches(m_settings);
    }
    // What decides which files are listed, or where their thumbnails come
    // from, takes effect by reading the folder again.
    const bool listChanges = after.downScan != before.downScan || after.scanSpi != before.scanSpi ||
                             after.cacheFolder != before.cacheFolder ||
                             after.cacheDataFolder != before.cacheDataFolder;
    if (listChanges && !m_document.currentFolder().empty())
        m_document.refresh(true);
    else if (after.autoRotate != before.autoRotate)
        m_document.applyThumbnailOptions(); // the thumbnails are made again, turned or not
    else if (after.colorManagement != before.colorManagement ||
             after.displayProfile != before.displayProfile)
        m_document.applyThumbnailOptions();
    updateCommandStates();
}

void MainWindow::editThumbnailOptions() {
    ThumbnailGrid* grid = m_grid;
    const DocumentOptions before = m_document.options();
    ThumbnailSettingsDialog dialog(
        before, grid->options(),
        [grid](const DocumentOptions& options, QSize cell) {
            return grid->renderCell(options, previewEntry(options, cell), cell);
        },
        this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const DocumentOptions after = dialog.documentOptions();
    const GridOptions gridAfter = dialog.gridOptions();
    const bool sizeChanged = after.thumbsSize != before.thumbsSize;
    m_document.options() = after;
    m_document.applyThumbnailOptions();
    m_grid->setOptions(gridAfter);
    // The caption's height decides the picture area, so the layout follows
    // even when the size stays; then the size in use (a folder-information
    // file's) is kept rather than made the stored one.
    const IntPair size = sizeChanged ? after.thumbsSize : m_document.thumbnailSize();
    m_grid->setCellSize(size.first, size.second);
    {
        SettingsStore::Batch batch(m_settings);
        m_document.saveOptions();
        gridAfter.save(m_settings);
    }
    updateCommandStates();
}

void MainWindow::editPlugins() {
    if (m_registry == nullptr)
        return;
    const std::string before = m_registry->currentSet();
    std::string chosen = before;
    {
        // Every click switches decoders at once: no worker decodes meanwhile.
        const auto hold = m_document.holdDecoding();
        PluginDialog dialog(*m_registry, m_settings, this);
        dialog.exec();
        chosen = dialog.chosenSet();
    }
    reloadPluginSets();
    // Another set may read other files: the folder is read again. Within
    // one set, what is shown is redrawn with the decoders now in use.
    if (chosen != before && !m_document.currentFolder().empty())
        m_document.refresh(true);
    else
        m_document.updateAllViews(nullptr, hint::RedrawAll{m_document.currentFolder()});
    updateCommandStates();
}

void MainWindow::maintainThumbnailCache() {
    const std::string central = m_document.options().centralCacheFolder();
    if (central.empty()) {
        showInformation(this, "サムネイル情報保存フォルダが設定されていません（動作設定）");
        return;
    }
    CacheMaintenanceDialog dialog(central, this);
    dialog.exec();
}

} // namespace vemra
