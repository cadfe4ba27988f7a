#pragma once

#include "document/wallpaper.h"

#include <QDialog>
#include <QSize>

#include <array>

class QCheckBox;
class QLabel;
class QComboBox;
class QSlider;
class QSpinBox;

namespace vemra {

class SettingsStore;

// "壁紙設定": a preview in the screen's proportions, brightness and the red,
// green and blue levels each as a number and a slider, the placement, the
// preview switch, and "実行" (which stays open), "閉じる", "リセット".
// "実行" stores the choices in section "WallPaper", writes the file and
// tells the desktop; a failure shows its code.
class WallpaperDialog : public QDialog {
    Q_OBJECT
public:
    // `picture` must outlive the dialog; `screen` is the screen's size in
    // device pixels.
    WallpaperDialog(SettingsStore& store, const PictureBuffer& picture, QSize screen,
                    QWidget* parent = nullptr);

    // The dialog's choices as they stand.
    WallpaperOptions options() const;
    // What "実行" does; the code of the result (0 on success).
    int apply();
    // Where "実行" writes and whom it tells; for tests.
    void setTarget(std::string folder, bool tellDesktop) {
        m_folder = std::move(folder);
        m_tellDesktop = tellDesktop;
    }
    // The box the preview is drawn in, in the screen's proportions, and
    // what it shows.
    QRect previewBox() const { return m_box; }
    QImage previewImage() const;

    // --- parts, for tests
    QSpinBox* numberField(int index) const { return m_numbers[static_cast<std::size_t>(index)]; }
    QSlider* slider(int index) const { return m_sliders[static_cast<std::size_t>(index)]; }
    QComboBox* placementList() const { return m_placement; }
    QCheckBox* previewCheck() const { return m_previewCheck; }

private:
    void reset();
    void changed();
    void drawPreview();

    SettingsStore& m_store;
    const PictureBuffer& m_picture;
    QSize m_screen;
    // A reduced copy the preview is adjusted from, so that moving a slider
    // costs little however large the picture is.
    PictureBuffer m_small;
    QLabel* m_previewLabel = nullptr;
    QRect m_box;
    std::array<QSpinBox*, 4> m_numbers{};
    std::array<QSlider*, 4> m_sliders{};
    QComboBox* m_placement = nullptr;
    QCheckBox* m_previewCheck = nullptr;
    WallpaperOptions m_stored;
    std::string m_folder;
    bool m_tellDesktop = true;
};

// Opens the dialog for `picture` on the screen of `parent`.
void runWallpaperDialog(QWidget* parent, SettingsStore& store, const PictureBuffer& picture);

} // namespace vemra
