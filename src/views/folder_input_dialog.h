#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

namespace vemra {

class HistoryCombo;
class SettingsStore;

// "フォルダ": asks for a folder with a prompt line, a combo holding the
// history of the hundred "Folder%d" keys of section "Filer" (the copy and
// move dialogs show the first ten of them) and "..." for the folder chooser.
// The caller sets the title and the prompt.
class FolderInputDialog : public QDialog {
    Q_OBJECT
public:
    FolderInputDialog(QWidget* parent, SettingsStore& settings, const QString& title,
                      const QString& prompt, const std::string& currentFolder);

    // The chosen folder, absolute (a relative one is taken against the
    // current folder), moved to the top of the history; nothing on cancel.
    std::optional<std::string> ask();

    void setFolderChooser(std::function<std::string(const std::string& start)> chooser) {
        m_chooser = std::move(chooser);
    }
    HistoryCombo* folderCombo() const { return m_combo; }
    const std::string& folder() const { return m_folder; }

    void accept() override;

private:
    std::string m_current;
    std::string m_folder;
    HistoryCombo* m_combo = nullptr;
    std::function<std::string(const std::string&)> m_chooser;
};

} // namespace vemra
