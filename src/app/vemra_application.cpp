#include "app/vemra_application.h"

#include "app/about_dialog.h"
#include "app/first_folder.h"
#include "app/manual_file.h"
#include "app/plugin_folder.h"
#include "app/splash_window.h"
#include "document/caption_font.h"
#include "document/document_options.h"
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "framework/command_id.h"
#include "framework/idle_driver.h"
#include "framework/message_box.h"
#include "imaging/decoder_registry.h"
#include "platform/file_status.h"
#include "platform/program_path.h"
#include "settings/settings_store.h"
#include "views/display_profile.h"
#include "views/main_window.h"
#include "views/window_placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <QUrl>

namespace vemra {
VemraApp::VemraApp(StartupEnvironment environment)
    : m_environment(std::move(environment)), m_commandLine(m_environment.arguments) {
    const FirstFolderPlaces places = currentFirstFolderPlaces();
    if (m_environment.programFolder.empty()) {
        m_environment.programFolder = places.programFolder;
    }
    if (m_environment.currentDirectory.empty()) {
        m_environment.currentDirectory = places.currentDirectory;
    }
}

VemraApp::~VemraApp() {
    exitInstance();
}

void VemraApp::showSplash() {
    if (!m_commandLine.wantsSplash()) {
        return;
    }
    m_splash = std::make_unique<SplashWindow>(
        SplashWindow::pictureFromFolder(m_environment.programFolder));
    m_splash->setTextRect(QRect(QPoint(20, 20), QPoint(359, 149)));
    m_splash->start([this] { return m_frame != nullptr; });
}

bool VemraApp::initInstance() {
    // 1. The splash, first, so that it shows while the rest starts.
    showSplash();
    m_steps.push_back("splash");

    // 2-4. The Windows program checked its common controls and OLE here;
    // Qt provides both services on every platform it runs on.
    m_steps.push_back("platform");
    SettingsStore& store = settings();
    registerFontSubstitutions();
    m_steps.push_back("settings");

    // 5. The document and its window. The registry exists from here on (the
    // scan asks it), but its plug-ins load only in step 9.
    m_registry = std::make_unique<DecoderRegistry>(store);
    m_registry->setFaultSink([this](const std::string& message) {
        std::string text = "SPI Exception\n\n";
        text += message;
        // A plug-in that faulted on a worker thread is reported by the
        // interface thread, which alone shows boxes.
        QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr && QThread::currentThread() != app->thread()) {
            QMetaObject::invokeMethod(
                app, [this, text] { showError(m_frame.get(), text); }, Qt::QueuedConnection);
            return;
        }
        showError(m_frame.get(), text);
    });
    m_services = std::make_unique<RegistryScanServices>(*m_registry);
    m_document =
        std::make_unique<FolderDocument>(*m_services, m_thumbCache, DocumentOptions::load(store));
    m_document->setSettingsStore(&store);
    // The grid makes thumbnails through the registry's decoders.
    m_loader = std::make_unique<RegistryPictureLoader>(*m_registry);
    m_document->setPictureLoader(m_loader.get());
    m_frame = std::make_unique<MainWindow>(*m_document, m_registry.get(), store);
    m_frame->setApplicationTarget(this);
    followDesktopDisplayProfile(*m_document, m_frame.get());
    // A window closed within the splash's time takes the splash with it, so
    // the program ends at once.
    QObject::connect(m_frame.get(), &MainWindow::closed, m_frame.get(), [this] {
        if (m_splash) {
            m_splash->close();
        }
    });
    m_steps.push_back("frame");

    // 6-7. The first folder; the tree opens it once start-up has finished.
    m_firstFolder = chooseFirstFolder(
        m_commandLine, store, {m_environment.programFolder, m_environment.currentDirectory});
    if (!m_firstFolder.empty()) {
        m_document->openDocumentPath(m_firstFolder);
    }
    m_steps.push_back("folder");

    // 8. Placement, then the window appears.
    if (const auto placement = WindowPlacement::load(store)) {
        m_frame->applyPlacement(*placement);
    }
    m_frame->show();
    m_steps.push_back("placement");

    // 9. Plug-ins.
    loadPlugins();
    m_steps.push_back("plugins");

    // 10. Start-up finished: the tree selects and opens the first folder.
    m_document->updateAllViews(nullptr, hint::StartupFinished{});
    if (!m_firstFolder.empty() && isExistingFile(m_firstFolder)) {
        // An archive (or picture) given on the command line lists its own
        // contents rather than its folder's.
        m_document->openFolder(m_firstFolder, nullptr, m_document->options().cacheFolder);
    }
    m_steps.push_back("startup finished");

    m_idle = std::make_unique<IdleDriver>();
    m_frame->connectIdle(*m_idle);
    m_idle->setHandler([this](int count) { return m_frame != nullptr && m_frame->idle(count); });
    return true;
}

void VemraApp::loadPlugins() {
    if (m_splash) {
        m_splash->setTextLine(0, "Vemraの初期設定を読み出しています");
    }
    m_pluginFolder = choosePluginFolder(m_registry->pluginFolder(), m_environment.programFolder);
    // Shift held while the plug-ins load leaves every one registered but
    // unloaded: the way out when a plug-in keeps the program from starting.
    m_registry->setShiftHeld(
        [] { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); });
    // "[name]を調査しています" and the failures, on the splash and in the
    // status bar while they load.
    m_registry->setStatusSink([this](const std::string& text, int) {
        if (m_splash)
            m_splash->setTextLine(1, text);
        if (m_frame)
            m_frame->setStatusText(0, text);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    {
        // The first folder's thumbnails may be on their way: the plug-in
        // list changes while none of them decodes.
        const auto hold = m_document->holdDecoding();
        m_registry->scan(m_pluginFolder, m_registry->currentSet());
    }
    m_registry->setStatusSink({});
    m_frame->reloadPluginSets();
}

void VemraApp::exitInstance() {
    if (m_finished || !m_document) {
        return;
    }
    m_finished = true;
    m_idle.reset();
    if (m_frame) {
        if (m_frame->isVisible()) {
            m_frame->close(); // saves placement, bars and the tree's folder
        }
        m_frame->setApplicationTarget(nullptr);
    }
    // Emptying the document saves its thumbnails when AutoCacheFolder is
    // on, then writes its settings.
    m_document->clear(true);
    m_frame.reset();
    m_document.reset();
    m_loader.reset();
    m_services.reset();
    m_registry.reset(); // writes section SPI and the current plug-in set
    m_splash.reset();
}

bool openUserGuide(QWidget* parent) {
    const std::filesystem::path guide =
        findUserGuide(QCoreApplication::applicationDirPath().toStdString());
    if (guide.empty()) {
        showError(parent, "ヘルプファイル(guide/index.html)が見つかりません");
        return false;
    }
    const std::string address =
        QUrl::fromLocalFile(QString::fromStdString(guide.string())).toString().toStdString();
    // Above 32 is success, as the shell's codes count.
    if (openHyperlink(address) <= 32) {
        showError(parent, "ヘルプを開けませんでした");
        return false;
    }
    return true;
}

std::optional<CommandState> VemraApp::commandState(int id) const {
    if (id == kCmdAppAbout || id == kCmdHelp) {
        return CommandState{};
    }
    return std::nullopt;
}

bool VemraApp::onCommand(int id) {
    if (id == kCmdHelp) {
        openUserGuide(m_frame.get());
        return true;
    }
    if (id != kCmdAppAbout) {
        return false;
    }
    AboutDialog about(m_frame.get());
    about.exec();
    return true;
}

} // namespace vemra
