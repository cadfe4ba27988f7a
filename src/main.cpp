#include "app/termination_signals.h"
#include "app/vemra_application.h"
#include "views/main_window.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vemra"));
    QApplication::setApplicationVersion(QStringLiteral(VEMRA_VERSION));

    vemra::StartupEnvironment environment;
    for (int i = 1; i < argc; ++i) {
        environment.arguments.emplace_back(argv[i]);
    }
    vemra::VemraApp vemra(std::move(environment));
    if (!vemra.initInstance()) {
        return 1;
    }
    vemra::closeOnTerminationSignals(vemra.mainWindow());
    const int result = QApplication::exec();
    vemra.exitInstance();
    return result;
}
