#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QButtonGroup;
class QLabel;

namespace vemra {

class HistoryCombo;
class SettingsStore;

// The question before a copy or a move: the destination folder (with the
// history of the last ten, "..." for the folder chooser and "Q" for the
// quick-access folders) and the copy option (all files, or only those whose
// target exists already).
class DestinationDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Copy, Move };

    // `currentFolder` is the document's folder: shown, and what a relative
    // destination is taken against.
    DestinationDialog(QWidget* parent, Kind kind, SettingsStore& settings,
                      const std::string& currentFolder);

    // After OK: the absolute destination and the option.
    const std::string& destination() const { return m_destination; }
    bool onlyExisting() const;

    // Runs the dialog; the destination and option, or nothing on cancel.
    struct Choice {
        std::string destination;
        bool onlyExisting = false;
    };
    std::optional<Choice> ask();

    // The folder the folder chooser opened on; replaceable for tests.
    void setFolderChooser(std::function<std::string(const std::string& start)> chooser) {
        m_chooser = std::move(chooser);
    }
    HistoryCombo* folderCombo() const { return m_combo; }

    void accept() override;

private:
    void chooseFolder();
    void showQuickAccess(QWidget* button);

    Kind m_kind;
    SettingsStore& m_settings;
    std::string m_current;
    std::string m_destination;
    HistoryCombo* m_combo = nullptr;
    QButtonGroup* m_option = nullptr;
    std::function<std::string(const std::string&)> m_chooser;
};

// "ファイルの複写" and "ファイルの移動".
class CopyDialog final : public DestinationDialog {
public:
    CopyDialog(QWidget* parent, SettingsStore& settings, const std::string& currentFolder)
        : DestinationDialog(parent, Kind::Copy, settings, currentFolder) {}
};
class MoveDialog final : public DestinationDialog {
public:
    MoveDialog(QWidget* parent, SettingsStore& settings, const std::string& currentFolder)
        : DestinationDialog(parent, Kind::Move, settings, currentFolder) {}
};

} // namespace vemra
