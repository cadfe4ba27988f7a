#pragma once

#include "app/command_line.h"
#include "document/thumb_cache.h"
#include "framework/command_target.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace vemra {

class FolderDocument;
class MainWindow;
class SplashWindow;
class DecoderRegistry;
class IdleDriver;
class RegistryPictureLoader;
class RegistryScanServices;

// What start-up reads from its surroundings, so that tests can give their own.
struct StartupEnvironment {
    std::vector<std::string> arguments; // without the program name
    std::string programFolder;          // "$(ExeDir)"; empty: the running program's
    std::string currentDirectory;       // empty: the process's
};

// The application object: brings the program up in a fixed order (splash,
// settings, document and main window, first folder, placement, plug-ins,
// StartupFinished), answers the application's commands (the about box) and takes
// everything down again. The settings store is the one settings() gives,
// chosen before start-up (useSettingsFile for tests).
// "ヘルプ": the user guide in the desktop's browser; false (after saying
// why) when it is missing or nothing opens it.
bool openUserGuide(QWidget* parent);

class VemraApp : public CommandTarget {
public:
    explicit VemraApp(StartupEnvironment environment);
    ~VemraApp() override;
    VemraApp(const VemraApp&) = delete;
    VemraApp& operator=(const VemraApp&) = delete;

    // Start-up; false when the program cannot start.
    bool initInstance();
    // Shutdown after the main window closed (also safe when it is open).
    void exitInstance();

    std::optional<CommandState> commandState(int id) const override;
    bool onCommand(int id) override;

    const CommandLineInfo& commandLine() const { return m_commandLine; }
    MainWindow* mainWindow() const { return m_frame.get(); }
    FolderDocument* document() const { return m_document.get(); }
    DecoderRegistry* registry() const { return m_registry.get(); }
    SplashWindow* splash() const { return m_splash.get(); }
    const std::string& firstFolder() const { return m_firstFolder; }
    const std::string& pluginFolder() const { return m_pluginFolder; }
    // The start-up steps in the order they ran, for checking that order.
    const std::vector<std::string>& steps() const { return m_steps; }

private:
    void showSplash();
    void loadPlugins();

    StartupEnvironment m_environment;
    CommandLineInfo m_commandLine;
    std::unique_ptr<SplashWindow> m_splash;
    std::unique_ptr<DecoderRegistry> m_registry;
    std::unique_ptr<RegistryScanServices> m_services;
    std::unique_ptr<RegistryPictureLoader> m_loader;
    // The document's thumbnail-cache files; outlives the document.
    ThumbCache m_thumbCache;
    std::unique_ptr<FolderDocument> m_document;
    std::unique_ptr<MainWindow> m_frame;
    std::unique_ptr<IdleDriver> m_idle;
    std::string m_firstFolder;
    std::string m_pluginFolder;
    std::vector<std::string> m_steps;
    bool m_finished = false;
};

} // namespace vemra
