#include "document/external_launch.h"

#include "document/picture_source.h"
#include "settings/settings_store.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace vemra {
namespace {

// The folder a program runs in when the application names none: the
// folder of its file, found along PATH for a bare name.
std::string programFolder(const std::string& program) {
    QString path = QString::fromStdString(program);
    if (!path.contains(QLatin1Char('/')))
        path = QStandardPaths::findExecutable(path);
    if (path.isEmpty())
        return {};
    return QFileInfo(path).absolutePath().toStdString();
}

LaunchCommand commandOf(std::string line, std::string folder) {
    LaunchCommand command;
    command.commandLine = std::move(line);
    std::vector<std::string> words = splitCommandLine(command.commandLine);
    if (!words.empty()) {
        command.program = words.front();
        command.arguments.assign(words.begin() + 1, words.end());
    }
    command.folder = folder.empty() ? programFolder(command.program) : std::move(folder);
    return command;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string quotedCommand(const std::string& command) {
    if (!command.starts_with('"') && command.find(' ') != std::string::npos)
        return "\"" + command + "\"";
    return command;
}

std::vector<LaunchCommand> planLaunch(const ExternalApp& app,
                                      std::span<const PictureSource* const> entries,
                                      const CaptionEnvironment& environment) {
    const std::string base = quotedCommand(app.command);
    std::vector<LaunchCommand> commands;
    std::string line = base;
    std::string folder;
    for (const PictureSource* entry : entries) {
        if (entry == nullptr || entry->isArchiveMember())
            continue;
        line += ' ';
        line += expandCaption(app.arguments, *entry, environment);
        folder = expandCaption(app.folder, *entry, environment);
        if (app.launchPerFile) {
            commands.push_back(commandOf(std::move(line), folder));
            line = base;
        }
    }
    if (!app.launchPerFile)
        commands.push_back(commandOf(std::move(line), folder));
    return commands;
}

std::string startDetachedProcess(const LaunchCommand& command) {
    if (command.program.empty())
        return "コマンドがありません";
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments << QString::fromStdString(argument);
    QProcess process;
    process.setProgram(QString::fromStdString(command.program));
    process.setArguments(arguments);
    process.setWorkingDirectory(QString::fromStdString(command.folder));
    // Our own descriptors stay ours; the program gets the terminal's.
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return process.errorString().toStdString();
    return {};
}

int launchExternalApp(const ExternalApp& app, std::span<const PictureSource* const> entries,
                      const ProcessStarter& start,
                      const std::function<void(const std::string&)>& failed,
                      const CaptionEnvironment& environment) {
    int started = 0;
    for (const LaunchCommand& command : planLaunch(app, entries, environment)) {
        const std::string error = start(command);
        if (!error.empty()) {
            if (failed)
                failed(error + "\n\n[" + command.commandLine + "]");
            break;
        }
        ++started;
    }
    return started;
}

void writeExternalApps(SettingsStore& store, std::span<const ExternalApp> apps, int previousCount) {
    constexpr std::string_view kSection = "AppCall";
    const int count = std::max(previousCount, static_cast<int>(apps.size()));
    SettingsStore::Batch batch(store);
    for (int i = 0; i < std::min(count, kMaxExternalApps); ++i) {
        const std::string prefix = "App" + std::to_string(i) + "\\";
        const ExternalApp empty;
        const ExternalApp& app = i < static_cast<int>(apps.size()) ? apps[i] : empty;
        store.putText(kSection, prefix + "Title", app.title);
        store.putText(kSection, prefix + "Cmd", app.command);
        store.putText(kSection, prefix + "Argv", app.arguments);
        store.putText(kSection, prefix + "Dir", app.folder);
        store.putInt(kSection, prefix + "Dup", app.launchPerFile ? 1 : 0);
    }
}

} // namespace vemra
