#pragma once

#include "views/behaviour_options.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace vemra {

// "動作設定": how the program opens, reads, caches and handles pictures,
// on one page per concern. "OK" refuses a start folder or a thumbnail
// folder that cannot be used (the dialog stays open, naming the field).
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // What a double-click may run: the command and its text.
    using Choice = std::pair<int, QString>;

    OptionsDialog(const BehaviourOptions& values, std::vector<Choice> doubleClickChoices,
                  QWidget* parent = nullptr);

    // The built-in choices of a double-click followed by one per registered
    // application (" " + its title, commands 20000 on).
    static std::vector<Choice> doubleClickChoices(const std::vector<std::string>& appTitles);

    // The values of the controls.
    BehaviourOptions values() const;
    // Why the values cannot be taken, or nullopt when they can.
    static std::optional<QString> refusal(const BehaviourOptions& values);

    // --- the controls, for tests
    QTabWidget* pages() const { return m_pages; }
    QComboBox* doubleClick() const { return m_doubleClick; }
    QLineEdit* homeFolder() const { return m_homeFolder; }
    QLineEdit* cacheDataFolder() const { return m_cacheDataFolder; }
    QLineEdit* displayProfile() const { return m_displayProfile; }
    QSpinBox* syncFileCount() const { return m_syncFileCount; }
    // The check box of a flag by its settings key ("DownScan", "TopMost" ...).
    QCheckBox* check(const char* key) const;
    QRadioButton* driveTree() const { return m_driveTree; }
    QPushButton* okButton() const { return m_ok; }

private:
    void buildOpeningPage();
    void buildScanningPage();
    void buildCachePage();
    void buildFilesPage();
    void buildFoldersPage();
    void buildViewerPage();
    void buildPhotoPage();
    void buildColourPage();
    QCheckBox* addCheck(QWidget* page, const char* key, const QString& text, bool on);
    void onOk();

    BehaviourOptions m_initial;
    std::vector<Choice> m_choices;
    QTabWidget* m_pages = nullptr;
    QComboBox* m_doubleClick = nullptr;
    QLineEdit* m_homeFolder = nullptr;
    QLineEdit* m_cacheDataFolder = nullptr;
    QLineEdit* m_displayProfile = nullptr;
    QSpinBox* m_syncFileCount = nullptr;
    QRadioButton* m_shellTree = nullptr;
    QRadioButton* m_driveTree = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace vemra
