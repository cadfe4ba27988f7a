#include "registry_cli.h"

#include "picture_commands.h"
#include "platform/install_layout.h"
#include "platform/program_path.h"
#include "settings/settings_store.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vemra::cli {

RegistryOptions& registryOptions() {
    static RegistryOptions options;
    return options;
}

std::string defaultPluginDir() {
    namespace fs = std::filesystem;
    const std::string program = executableDir();
    if (program.empty()) {
        return "plugins";
    }
    // Installed, the plug-ins lie in <prefix>/lib/vemra/plugins; that folder
    // never exists below a build tree, so it is asked first.
    const fs::path installed = installedFolder(InstalledFolder::Plugins, program);
    std::error_code error;
    if (fs::is_directory(installed, error)) {
        return installed.string();
    }
    return (fs::path(program) / ".." / ".." / "plugins").lexically_normal().string();
}

std::unique_ptr<DecoderRegistry> openRegistry(bool* problems) {
    const RegistryOptions& o = registryOptions();
    auto registry = std::make_unique<DecoderRegistry>(settings());
    registry->setWriteBack(false);
    registry->setStatusSink([problems](const std::string& text, int flag) {
        if (flag != 0) {
            std::fprintf(stderr, "vemra-cli: %s\n", text.c_str());
            if (problems != nullptr) {
                *problems = true;
            }
        }
    });
    registry->setFaultSink([](const std::string& message) {
        std::fprintf(stderr, "SPI Exception: %s\n", message.c_str());
    });
    std::string dir = o.pluginDir;
    if (dir.empty()) {
        dir = registry->pluginFolder();
    }
    if (dir.empty() || !std::filesystem::is_directory(dir)) {
        dir = o.pluginDir.empty() ? defaultPluginDir() : o.pluginDir;
    }
    registry->scan(dir, o.setGiven ? o.set : registry->currentSet());
    return registry;
}

void ensureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "vemra-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace vemra::cli
