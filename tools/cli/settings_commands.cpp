#include "settings_commands.h"

#include "document/document_options.h"
#include "picture_commands.h"
#include "settings/settings_store.h"

#include <QGuiApplication>

#include <cstdio>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

void printLine(std::string_view section, std::string_view key, std::string_view value) {
    std::printf("%.*s\t%.*s\t%.*s\n", static_cast<int>(section.size()), section.data(),
                static_cast<int>(key.size()), key.data(), static_cast<int>(value.size()),
                value.data());
}

int settingsGet(std::span<const std::string_view> args) {
    if (args.size() != 2 && args.size() != 3) {
        return usageError("settings get: give SECTION KEY [DEFAULT]");
    }
    const std::string value = settings().getText(args[0], args[1], args.size() == 3 ? args[2] : "");
    std::printf("%s\n", value.c_str());
    return 0;
}

int settingsSet(std::span<const std::string_view> args) {
    if (args.size() != 3) {
        return usageError("settings set: give SECTION KEY VALUE");
    }
    SettingsStore& store = settings();
    if (!store.putText(args[0], args[1], args[2])) {
        std::fprintf(stderr, "vemra-cli: settings set: cannot write %s\n", store.path().c_str());
        return 1;
    }
    return 0;
}

int settingsList(std::span<const std::string_view> args) {
    if (args.size() > 1) {
        return usageError("settings list: give at most one SECTION");
    }
    SettingsStore& store = settings();
    const std::vector<std::string> sections =
        args.empty() ? store.sectionNames() : std::vector<std::string>{std::string(args[0])};
    for (const std::string& section : sections) {
        for (const std::string& key : store.keyNames(section)) {
            printLine(section, key, store.getText(section, key));
        }
    }
    return 0;
}

int settingsOptions(std::span<const std::string_view> args) {
    if (!args.empty()) {
        return usageError("settings options: takes no arguments");
    }
    // The caption face is looked up among the installed fonts, which needs a
    // GUI application; it runs without a display.
    std::optional<QGuiApplication> application;
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "vemra-cli";
        static char* argv[] = {name, nullptr};
        application.emplace(argc, argv);
    }
    for (const DocumentOptions::Entry& e : DocumentOptions::load(settings()).entries()) {
        printLine(e.section, e.key, e.value);
    }
    return 0;
}

} // namespace

void useSettingsOption(const std::optional<std::string>& file) {
    if (file) {
        useSettingsFile(*file);
    } else {
        // The batch tool works on the program's settings: "vemra.ini" beside
        // it when that exists, else the per-user file.
        useSettingsFile(chooseSettingsPath(currentSettingsPlaces("vemra")));
    }
}

int runSettings(std::span<const std::string_view> args) {
    if (args.empty()) {
        return usageError("settings: give get, set, list or options");
    }
    const std::string_view action = args[0];
    const auto rest = args.subspan(1);
    if (action == "get") {
        return settingsGet(rest);
    }
    if (action == "set") {
        return settingsSet(rest);
    }
    if (action == "list") {
        return settingsList(rest);
    }
    if (action == "options") {
        return settingsOptions(rest);
    }
    return usageError("settings: unknown action '" + std::string(action) + "'");
}

} // namespace vemra::cli
