#include "core_application.h"

#include <QCoreApplication>

namespace vemra::test {

void ensureCoreApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "vemra-framework-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace vemra::test
