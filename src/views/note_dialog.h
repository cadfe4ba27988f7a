#pragma once

#include <QDialog>

#include <functional>
#include <span>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vemra {

class DocumentView;
class FolderDocument;
class PictureSource;

// "コメント入力": the note of one picture, with its thumbnail and its name,
// size and date, in a multi-line field. "&Exifの取得" puts the photograph's
// shooting information (camera, lens, exposure, ... from its EXIF block)
// into the note, or for a picture without any its information text (what
// its decoder read from it).
class NoteDialog : public QDialog {
    Q_OBJECT
public:
    // `thumbnail` may be null (nothing is drawn in the frame).
    NoteDialog(QWidget* parent, const PictureSource& entry, const QImage& thumbnail);

    std::string noteText() const;
    QPlainTextEdit* editor() const { return m_edit; }

private:
    QPlainTextEdit* m_edit = nullptr;
};

// The picture of an entry for a dialog: its thumbnail, else a reduced
// decode (about 120 pixels); null when it cannot be decoded.
QImage thumbnailOf(FolderDocument& document, PictureSource& entry);

// The note command (10168, Ctrl+N): one dialog per entry at `positions`,
// in display order. OK stores the note (in the entry, and in its folder's
// note file) and redraws the entry; cancel ends the command, keeping the
// notes entered until then. `run` shows a dialog and answers whether it was
// accepted (replaceable for tests; empty: exec()). The number of notes
// stored.
int runNoteCommand(QWidget* parent, FolderDocument& document, std::span<const int> positions,
                   DocumentView* sender, const std::function<bool(NoteDialog& dialog)>& run = {});

} // namespace vemra
