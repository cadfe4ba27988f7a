#include "document/folder_document.h"
#include "document/size_text.h"
#include "platform/file_status.h"

#include <QStorageInfo>
#include <QString>

#include <cstdio>

namespace vemra {

std::array<std::string, 3> FolderDocument::statusSummary() const {
    std::uint64_t all = 0;
    std::uint64_t selected = 0;
    int selectedEntries = 0;
    for (int index : m_displayOrder) {
        const PictureSource& e = *m_entries[static_cast<std::size_t>(index)];
        all += e.length;
        if (e.isSelected()) {
            selected += e.length;
            ++selectedEntries;
        }
    }
    std::array<std::string, 3> texts;
    char line[512];
    std::snprintf(line, sizeof line, "選択 %d ﾌｧｲﾙ(%s)", selectedEntries,
                  sizeText(selected, 1, 2).c_str());
    texts[0] = line;
    std::snprintf(line, sizeof line, "全 %d ﾌｧｲﾙ(%s)", displayedCount(),
                  sizeText(all, 1, 2).c_str());
    texts[1] = line;

    // The volume holding the folder: its display name, a serial made from
    // the file system id, and its free and total space.
    const QStorageInfo volume(
        QString::fromStdString(m_folder.empty() ? std::string("/") : m_folder));
    if (volume.isValid()) {
        const std::uint32_t serial = volumeSerial(volume.rootPath().toStdString());
        std::snprintf(line, sizeof line, "%s [%08X] 空 %s / 全 %s",
                      volume.displayName().toStdString().c_str(), serial,
                      sizeText(static_cast<std::uint64_t>(volume.bytesAvailable()), 0, 2).c_str(),
                      sizeText(static_cast<std::uint64_t>(volume.bytesTotal()), 0, 2).c_str());
        texts[2] = line;
    }
    return texts;
}

} // namespace vemra
