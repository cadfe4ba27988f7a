#include "document/home_trash.h"

#include <QDir>
#include <QStandardPaths>

namespace vemra {

std::string prepareHomeTrash() {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || QDir().mkpath(dataHome))
        return {};
    return "ごみ箱のフォルダを作成できません: " + dataHome.toStdString();
}

} // namespace vemra
