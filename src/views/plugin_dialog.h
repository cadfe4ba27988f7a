#pragma once

#include "imaging/decoder_registry.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemra {

class SettingsStore;

// "プラグイン設定": which picture and archive plug-ins are in use, which
// picture plug-ins read the members of each archive type, each plug-in's own
// settings and properties, and the named plug-in sets. Every change goes to
// the registry at once; closing stores the set list, the column widths and
// the shown set (saved under its name, the default set when none).
class PluginDialog : public QDialog {
    Q_OBJECT
public:
    PluginDialog(DecoderRegistry& registry, SettingsStore& store, QWidget* parent = nullptr);

    // The set name shown when the dialog closed.
    const std::string& chosenSet() const { return m_chosenSet; }

    // --- the controls, for tests
    QTreeWidget* pictureList() const { return m_pictures; }
    QTreeWidget* archiveList() const { return m_archives; }
    QTreeWidget* memberList() const { return m_members; }
    QCheckBox* allPictures() const { return m_allPictures; }
    QComboBox* setList() const { return m_sets; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* deleteSetButton() const { return m_deleteSet; }
    QPushButton* closeButton() const { return m_close; }
    // The sets' combo as a user would work it.
    void switchToSet(const QString& name);
    void nameSet(const QString& name);
    void deleteShownSet();
    // "プラグイン情報" of a plug-in: label and value per line.
    std::vector<std::pair<QString, QString>> properties(DecoderId id, DecoderKind kind) const;

protected:
    void done(int result) override;

private:
    QTreeWidget* makeList(const QStringList& columns, const char* widthKey,
                          const char* defaultWidths);
    void fillLists();
    void fillMembers();
    void toggleSelected(QTreeWidget* list);
    void openPluginSettings(QTreeWidget* list);
    void showProperties(QTreeWidget* list);
    void addMembers();
    void removeMembers();
    void onAllPictures(bool on);
    void onItemChanged(QTreeWidgetItem* item);
    DecoderKind kindOf(const QTreeWidget* list) const;
    DecoderId selectedArchive() const;

    DecoderRegistry& m_registry;
    SettingsStore& m_store;
    std::string m_shownSet;
    std::string m_chosenSet;
    bool m_filling = false;
    QTreeWidget* m_pictures = nullptr;
    QTreeWidget* m_archives = nullptr;
    QTreeWidget* m_members = nullptr;
    QCheckBox* m_allPictures = nullptr;
    QComboBox* m_sets = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_deleteSet = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace vemra
