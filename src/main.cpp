#include "app/qt_translations.h"
#include "app/standard_switches.h"
#include "app/termination_signals.h"
#include "app/vemra_application.h"
#include "views/main_window.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    vemra::StartupEnvironment environment;
    for (int i = 1; i < argc; ++i) {
        environment.arguments.emplace_back(argv[i]);
    }
    if (const auto answer = vemra::standardSwitchAnswer(environment.arguments)) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vemra"));
    QApplication::setApplicationVersion(QStringLiteral(VEMRA_VERSION));
    // Desktops match the windows to vemra.desktop (its name and icon) by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("vemra"));
    vemra::installQtTranslations(application);
    vemra::VemraApp vemra(std::move(environment));
    if (!vemra.initInstance()) {
        return 1;
    }
    vemra::closeOnTerminationSignals(vemra.mainWindow());
    const int result = QApplication::exec();
    vemra.exitInstance();
    return result;
}
