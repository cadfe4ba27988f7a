#pragma once

#include "document/document_options.h"
#include "views/grid_options.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace vemra {

class PictureSource;

// The sample the preview shows: a 640 x 480 "sample.jpg" with a landscape
// as its thumbnail, coloured by `options`.
PictureSource previewEntry(const DocumentOptions& options, QSize cell);

// "サムネイル設定": the cell size, the caption lines with their macros, the
// frames, the grid colours and caption font, how thumbnails are scaled and
// sharpened, and whether they are made in idle time, with a cell drawn as
// the grid would draw it. "OK" refuses a caption without any line while
// captions are shown.
class ThumbnailSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Draws one cell with the options given (the grid's own painter).
    using CellRenderer = std::function<QImage(const DocumentOptions&, QSize)>;

    ThumbnailSettingsDialog(const DocumentOptions& document, const GridOptions& grid,
                            CellRenderer renderer, QWidget* parent = nullptr);

    // The options as the controls set them.
    DocumentOptions documentOptions() const;
    GridOptions gridOptions() const { return m_grid; }
    // The scaling choices: the stored value and its text.
    static const std::vector<std::pair<int, QString>>& scaleModes();
    // Why the options cannot be taken, or nullopt when they can.
    static std::optional<QString> refusal(const DocumentOptions& options);

    // --- the controls, for tests
    QSpinBox* cellWidth() const { return m_width; }
    QSpinBox* cellHeight() const { return m_height; }
    QPlainTextEdit* captionLines() const { return m_captions; }
    QComboBox* scaleMode() const { return m_scaleMode; }
    QCheckBox* check(const char* key) const;
    QPushButton* macroButton() const { return m_macros; }
    QLabel* preview() const { return m_preview; }
    QPushButton* okButton() const { return m_ok; }
    // Sets a colour as the colour chooser would ("colText", ... and the
    // grid's "colBackground").
    void setColour(const char* key, QColor colour);
    void setCaptionFont(const QFont& font);

private:
    QWidget* buildSizeAndCaptions();
    QWidget* buildColours();
    QWidget* buildDrawing();
    QCheckBox* addCheck(QWidget* page, const char* key, const QString& text, bool on);
    void chooseColour(const char* key);
    void chooseFont();
    void refreshSwatches();
    void updatePreview();
    void onOk();

    DocumentOptions m_options; // colours and font; the rest is read from the controls
    GridOptions m_grid;
    CellRenderer m_renderer;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_workers = nullptr;
    QSpinBox* m_memory = nullptr;
    QPlainTextEdit* m_captions = nullptr;
    QPushButton* m_macros = nullptr;
    QComboBox* m_scaleMode = nullptr;
    QLabel* m_fontName = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace vemra
