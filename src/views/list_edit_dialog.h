#pragma once

#include "framework/text_history.h"

#include <QDialog>
#include <QString>

#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;

namespace vemra {

class SettingsStore;

// One list the program remembers under numbered keys.
struct RememberedList {
    QString title;
    TextHistory history;
};

// The lists "リスト編集" offers: folder histories, quick access, formats
// and masks.
std::vector<RememberedList> rememberedLists();

// "リスト編集": the remembered lists, one at a time, whose entries can be
// deleted one by one or all at once; "OK" writes the lists that changed
// (the remaining entries moved up, the freed keys emptied), "キャンセル"
// nothing.
class ListEditDialog : public QDialog {
    Q_OBJECT
public:
    ListEditDialog(SettingsStore& store, QWidget* parent = nullptr);

    // --- the controls, for tests
    QComboBox* listChoice() const { return m_choice; }
    QListWidget* entries() const { return m_entries; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* deleteAllButton() const { return m_deleteAll; }
    QPushButton* okButton() const { return m_ok; }

private:
    void showList(int index);
    void deleteSelected();
    void deleteAll();
    void save();

    SettingsStore& m_store;
    std::vector<RememberedList> m_lists;
    std::vector<bool> m_changed;
    QComboBox* m_choice = nullptr;
    QListWidget* m_entries = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_deleteAll = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace vemra
