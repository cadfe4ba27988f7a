#include "views/dialog_transfer_questions.h"

#include "document/caption_macros.h"
#include "document/folder_document.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/transfer_files.h"
#include "framework/message_box.h"
#include "framework/progress_window.h"
#include "imaging/picture_qimage.h"
#include "platform/file_status.h"
#include "platform/path_parts.h"
#include "views/same_name_dialog.h"
#include "views/transfer_dialog_options.h"

namespace vemra {
namespace {

constexpr int kPaneSide = 156;

} // namespace

SameNamePane paneOf(FolderDocument& document, const std::string& path) {
    PictureSource entry;
    entry.folder = folderPartOf(path);
    entry.fileName = namePartOf(path);
    if (const auto status = fileStatus(path)) {
        entry.length = status->size;
        entry.lastWriteTime = status->lastWriteTime;
        entry.creationTime = status->creationTime;
    }
    SameNamePane pane;
    if (PictureLoader* loader = document.pictureLoader()) {
        PictureBuffer picture;
        if (loader->loadForThumbnail(entry, kPaneSide, kPaneSide, picture) == 0) {
            makeUpright(entry, loader, picture);
            pane.picture = pictureToImage(picture);
        }
    }
    pane.sizeLine = QString::fromStdString(expandCaption("$(S) ﾊﾞｲﾄ $(D) $(T)", entry));
    pane.pixelLine = QString::fromStdString(expandCaption("$(W)x$(H) $(C)b", entry));
    return pane;
}

DialogTransferQuestions::DialogTransferQuestions(QWidget* parent, FolderDocument& document,
                                                 SettingsStore* settings)
    : m_parent(parent), m_document(document), m_settings(settings) {}

DialogTransferQuestions::~DialogTransferQuestions() = default;

void DialogTransferQuestions::report(const std::string& text) {
    showError(m_parent, text);
}

bool DialogTransferQuestions::confirm(const std::string& question) {
    return askYesNo(m_parent, question);
}

SameNameAnswer DialogTransferQuestions::sameName(const std::string& source,
                                                 const std::string& target,
                                                 const TransferOptions& options) {
    TransferDialogOptions stored =
        m_settings != nullptr ? TransferDialogOptions::load(*m_settings) : TransferDialogOptions{};
    SameNameDialog dialog(m_progress ? static_cast<QWidget*>(m_progress.get()) : m_parent,
                          SameNameDialog::Mode::Transfer, source, target, stored.sameOption,
                          options.autoFileFormat);
    dialog.setPanes(paneOf(m_document, source), paneOf(m_document, target));
    const bool accepted =
        m_runSameName ? m_runSameName(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return {};
    stored.sameOption = static_cast<int>(dialog.action());
    if (m_settings != nullptr)
        stored.save(*m_settings);
    return {true, dialog.action(), dialog.applyToAll(), dialog.targetText()};
}

ErrorChoice DialogTransferQuestions::failed(const std::string& source, const std::string&,
                                            const std::string& text) {
    switch (askAbortRetryIgnore(m_progress ? static_cast<QWidget*>(m_progress.get()) : m_parent,
                                source + "\n" + text)) {
    case MessageAnswer::Retry:
        return ErrorChoice::Retry;
    case MessageAnswer::Ignore:
        return ErrorChoice::Ignore;
    default:
        return ErrorChoice::Abort;
    }
}

void DialogTransferQuestions::beginProgress(std::string_view title, std::string_view text,
                                            int total) {
    if (!m_progress)
        m_progress = std::make_unique<ProgressWindow>(m_parent, title);
    m_progress->setTitle(title);
    m_progress->setText(text);
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setStep(1);
    m_progress->setPosition(0);
    m_progress->show();
}

void DialogTransferQuestions::setProgressTotal(int total) {
    if (m_progress)
        m_progress->setRange(0, std::max(total, 1));
}

bool DialogTransferQuestions::advance(std::string_view name) {
    if (!m_progress)
        return false;
    m_progress->setText(name);
    m_progress->stepIt();
    return m_progress->checkCancelButton();
}

bool DialogTransferQuestions::cancelRequested() {
    return m_progress && m_progress->checkCancelButton();
}

void DialogTransferQuestions::endProgress() {
    m_progress.reset();
}

} // namespace vemra
