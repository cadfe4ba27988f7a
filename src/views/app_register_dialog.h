#pragma once

#include "document/external_apps.h"

#include <QDialog>

#include <functional>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace vemra {

class FolderDocument;
class SettingsStore;

// "外部アプリケーション登録": up to a hundred programs to open pictures
// with, each a title, a command, an argument template and a run folder
// with caption macros, and whether each picture gets a process of its own.
// "閉じる" writes the list (refusing an empty title or command); "キャンセル"
// forgets the changes.
class AppRegisterDialog : public QDialog {
    Q_OBJECT
public:
    AppRegisterDialog(QWidget* parent, SettingsStore& settings);

    const std::vector<ExternalApp>& apps() const { return m_apps; }
    int shown() const { return m_shown; }
    QListWidget* list() const { return m_list; }
    QLineEdit* titleEdit() const { return m_title; }
    QLineEdit* commandEdit() const { return m_command; }
    QLineEdit* argumentsEdit() const { return m_arguments; }
    QLineEdit* folderEdit() const { return m_folder; }
    QCheckBox* perFileBox() const { return m_perFile; }

    // The buttons' actions (tests use them directly).
    bool addEntry();
    void removeEntry();
    // -2 to the top, -1 one up, +1 one down, +2 to the bottom.
    void moveEntry(int how);
    void insertArgumentMacro(const QString& macro);
    // "閉じる": false (the dialog stays) after the message about an empty
    // title or command.
    bool tryClose();

    // The chooser of "..." (tests); it answers a path or nothing.
    void setProgramChooser(std::function<std::string()> chooser) {
        m_programChooser = std::move(chooser);
    }
    void chooseProgram();

private:
    void storeShown();
    void showEntry(int index);
    void select(int index);
    void showArgumentMenu();
    void showFolderMenu();

    SettingsStore& m_settings;
    std::vector<ExternalApp> m_apps;
    int m_readCount = 0;
    int m_shown = -1;
    bool m_selecting = false;
    QListWidget* m_list = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_command = nullptr;
    QLineEdit* m_arguments = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_perFile = nullptr;
    std::function<std::string()> m_programChooser;
};

// Starts registered application `index` on the pictures at `positions` of
// the document; a failure shows "起動に失敗しました". The number started.
int runExternalApp(QWidget* parent, FolderDocument& document, SettingsStore& settings, int index,
                   std::span<const int> positions);

} // namespace vemra
