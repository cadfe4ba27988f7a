#pragma once

#include "document/cache_maintenance.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemra {

// "サムネイル情報メンテナンス": the folders the central cache folder keeps
// thumbnails for, by medium present or absent, one folder's records in nine
// columns (missing pictures greyed), and "最適化(&D)", which removes the
// records of pictures that no longer exist from the ticked folders of
// present media, with progress that can be cancelled.
class CacheMaintenanceDialog : public QDialog {
    Q_OBJECT
public:
    CacheMaintenanceDialog(std::string centralFolder, QWidget* parent = nullptr);

    // Removes the missing pictures' records of every ticked folder of a
    // present medium; the number of records removed.
    int optimise();

    // --- the controls, for tests
    QTreeWidget* folderTree() const { return m_tree; }
    QTreeWidget* recordList() const { return m_records; }
    QTreeWidgetItem* presentRoot() const { return m_present; }
    QTreeWidgetItem* absentRoot() const { return m_absent; }
    QPushButton* optimiseButton() const { return m_optimise; }

private:
    void fillTree();
    void showRecords(QTreeWidgetItem* item);
    void onItemChanged(QTreeWidgetItem* item, int column);

    std::string m_central;
    std::vector<CachedFolder> m_folders;
    QTreeWidget* m_tree = nullptr;
    QTreeWidget* m_records = nullptr;
    QTreeWidgetItem* m_present = nullptr;
    QTreeWidgetItem* m_absent = nullptr;
    QLabel* m_caption = nullptr;
    QPushButton* m_optimise = nullptr;
    bool m_ticking = false;
};

} // namespace vemra
