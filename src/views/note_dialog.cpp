#include "views/note_dialog.h"

#include "document/folder_document.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/shooting_info.h"
#include "document/size_text.h"
#include "framework/update_hint.h"
#include "imaging/photo_metadata.h"
#include "imaging/picture_qimage.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {
namespace {

constexpr int kThumbnailSide = 120;

// The note keeps CR LF line breaks, as the note files and the clipboard
// of the notes carry them; the editor works with LF.
QString forEditor(const std::string& note) {
    QString text = QString::fromStdString(note);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string fromEditor(const QString& text) {
    QString note = text;
    note.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    note.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return note.toStdString();
}

} // namespace

QImage thumbnailOf(FolderDocument& document, PictureSource& entry) {
    if (entry.thumbnail)
        return pictureToImage(entry.thumbnail);
    PictureLoader* loader = document.pictureLoader();
    PictureBuffer picture;
    if (loader == nullptr ||
        loader->loadForThumbnail(entry, kThumbnailSide, kThumbnailSide, picture) != 0)
        return {};
    makeUpright(entry, loader, picture);
    return pictureToImage(picture);
}

NoteDialog::NoteDialog(QWidget* parent, const PictureSource& entry, const QImage& thumbnail)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("コメント入力"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* frame = new QLabel(this);
    frame->setFixedSize(kThumbnailSide + 4, kThumbnailSide + 4);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAlignment(Qt::AlignCenter);
    if (!thumbnail.isNull()) {
        const QImage shown =
            thumbnail.width() > kThumbnailSide || thumbnail.height() > kThumbnailSide
                ? thumbnail.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation)
                : thumbnail;
        frame->setPixmap(QPixmap::fromImage(shown));
    }
    top->addWidget(frame);
    auto* lines = new QVBoxLayout;
    lines->addWidget(
        new QLabel(QStringLiteral("名前： %1").arg(QString::fromStdString(entry.fileName)), this));
    lines->addWidget(new QLabel(
        QStringLiteral("ｻｲｽﾞ： %1 ﾊﾞｲﾄ").arg(QString::fromStdString(groupedNumber(entry.length))),
        this));
    lines->addWidget(new QLabel(QStringLiteral("日付： %1")
                                    .arg(QDateTime::fromSecsSinceEpoch(entry.lastWriteTime)
                                             .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))),
                                this));
    lines->addStretch();
    top->addLayout(lines, 1);
    layout->addLayout(top);

    m_edit = new QPlainTextEdit(forEditor(entry.note), this);
    m_edit->setObjectName(QStringLiteral("note"));
    m_edit->document()->setDocumentMargin(2);
    m_edit->setMinimumSize(360, 120);
    layout->addWidget(m_edit, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exif =
        buttons->addButton(QStringLiteral("&Exifの取得"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    // The shooting information of a photograph (read when asked for, from a
    // plain file); for other pictures, what their decoder told.
    const QString info = QString::fromStdString(entry.infoText).trimmed();
    const std::string path = entry.isArchiveMember() ? std::string() : entry.fullPath();
    exif->setEnabled(!info.isEmpty() || !path.empty());
    connect(exif, &QPushButton::clicked, this, [this, info, path] {
        QString text;
        if (!path.empty())
            text = QString::fromStdString(shootingInfoText(readPhotoMetadata(path), "\n"));
        if (text.isEmpty())
            text = info;
        m_edit->insertPlainText(text);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_edit->setFocus();
}

std::string NoteDialog::noteText() const {
    return fromEditor(m_edit->toPlainText());
}

int runNoteCommand(QWidget* parent, FolderDocument& document, std::span<const int> positions,
                   DocumentView* sender, const std::function<bool(NoteDialog& dialog)>& run) {
    std::vector<int> ordered(positions.begin(), positions.end());
    std::sort(ordered.begin(), ordered.end());
    const std::string central = document.options().centralCacheFolder();
    int stored = 0;
    for (const int position : ordered) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        loadNote(*entry, central);
        const std::string identity = entry->archiveFullPath() + "|" + entry->fullPath();
        NoteDialog dialog(parent, *entry, thumbnailOf(document, *entry));
        const bool accepted = run ? run(dialog) : dialog.exec() == QDialog::Accepted;
        if (!accepted)
            break;
        // The dialog's event loop may have changed the list: the entry is
        // looked up again, and only the same picture takes the note.
        entry = document.entryAt(position);
        if (entry == nullptr || entry->archiveFullPath() + "|" + entry->fullPath() != identity)
            break;
        entry->note = dialog.noteText();
        entry->noteLoaded = true;
        saveNote(*entry, central);
        document.updateAllViews(sender, hint::RedrawEntry{position});
        ++stored;
    }
    return stored;
}

} // namespace vemra
