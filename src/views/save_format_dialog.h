#pragma once

#include "document/save_format_options.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <span>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;

namespace vemra {

class DocumentView;
class FolderDocument;
class HistoryCombo;
class SettingsStore;

// "画像形式を指定してファイル保存": the destination folder (the hundred-entry
// history, "..." and the quick-access folders under "Q"), the format, and
// the pages for size, scaling method, rotation, JPEG, BMP and PNG. OK
// stays silently open while the destination is empty or the size makes no
// picture; otherwise it remembers everything and closes.
class SaveFormatDialog : public QDialog {
    Q_OBJECT
public:
    SaveFormatDialog(QWidget* parent, SettingsStore& settings, const std::string& currentFolder);

    const std::string& destination() const { return m_destination; }
    // The values the pages show now.
    SaveFormatOptions options() const;

    HistoryCombo* folderCombo() const { return m_combo; }
    QListWidget* formatList() const { return m_format; }
    QTabWidget* pages() const { return m_pages; }
    QButtonGroup* sizeGroup() const { return m_size; }
    QButtonGroup* rotationGroup() const { return m_rotation; }
    QSpinBox* angleBox() const { return m_angle; }
    QSpinBox* widthBox() const { return m_width; }
    QSpinBox* heightBox() const { return m_height; }
    QLineEdit* factorEdit() const { return m_factor; }

    void setFolderChooser(std::function<std::string(const std::string& start)> chooser) {
        m_chooser = std::move(chooser);
    }
    void accept() override;

    // The rotation button an angle preselects: 0 "回転しない" (also 360),
    // 1 right 90, 2 180, 3 left 90, 4 "角度指定".
    static int rotationButtonFor(int angle);

private:
    void chooseFolder();
    void showQuickAccess(QWidget* button);
    QWidget* sizePage(const SaveFormatOptions& o);
    QWidget* scalingPage(const SaveFormatOptions& o);
    QWidget* rotationPage(const SaveFormatOptions& o);
    QWidget* jpegPage(const SaveFormatOptions& o);
    QWidget* reductionPage(bool reduce, QCheckBox*& box);

    SettingsStore& m_settings;
    std::string m_current;
    std::string m_destination;
    HistoryCombo* m_combo = nullptr;
    QListWidget* m_format = nullptr;
    QTabWidget* m_pages = nullptr;
    QButtonGroup* m_size = nullptr;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QCheckBox* m_aspect = nullptr;
    QLineEdit* m_factor = nullptr;
    QButtonGroup* m_scaling = nullptr;
    QCheckBox* m_unsharp = nullptr;
    QButtonGroup* m_rotation = nullptr;
    QSpinBox* m_angle = nullptr;
    QSpinBox* m_quality = nullptr;
    QCheckBox* m_progressive = nullptr;
    QCheckBox* m_bmpQuant = nullptr;
    QCheckBox* m_pngQuant = nullptr;
    std::function<std::string(const std::string&)> m_chooser;
};

// "画像形式を指定して保存(&S)..." (10112): the dialog, then the pictures at
// `positions` saved with progress, "中止", the overwrite question and the
// question after a picture that cannot be decoded. `run` shows the dialog
// and answers whether it was accepted (tests; empty: exec()). The number of
// files written.
int runSaveInFormatCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                           std::span<const int> positions,
                           const std::function<bool(SaveFormatDialog&)>& run = {});

} // namespace vemra
