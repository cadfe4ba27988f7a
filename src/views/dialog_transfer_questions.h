#pragma once

#include "document/transfer_questions.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace vemra {

class FolderDocument;
class ProgressWindow;
class SameNameDialog;
struct SameNamePane;
class SettingsStore;

// The picture of the file `path` reduced to a pane of the same-name
// question, with the caption lines the grid would show for it.
SameNamePane paneOf(FolderDocument& document, const std::string& path);

// The file operations' questions answered with the program's dialogs: the
// same-name dialog with both pictures, message boxes, and the progress
// window "ファイル操作実行中" with "中止".
class DialogTransferQuestions final : public TransferQuestions {
public:
    // `document` decodes the pictures the same-name dialog shows; the
    // settings (may be null) give and keep its preselection (SameOption).
    DialogTransferQuestions(QWidget* parent, FolderDocument& document, SettingsStore* settings);
    ~DialogTransferQuestions() override;

    void report(const std::string& text) override;
    bool confirm(const std::string& question) override;
    SameNameAnswer sameName(const std::string& source, const std::string& target,
                            const TransferOptions& options) override;
    ErrorChoice failed(const std::string& source, const std::string& target,
                       const std::string& text) override;
    void beginProgress(std::string_view title, std::string_view text, int total) override;
    void setProgressTotal(int total) override;
    bool advance(std::string_view name) override;
    bool cancelRequested() override;
    void endProgress() override;

    // Shows the same-name dialog and answers whether it was accepted;
    // replaceable for tests (empty: exec()).
    void setSameNameRunner(std::function<bool(SameNameDialog& dialog)> run) {
        m_runSameName = std::move(run);
    }
    ProgressWindow* progressWindow() const { return m_progress.get(); }

private:
    QWidget* m_parent;
    FolderDocument& m_document;
    SettingsStore* m_settings;
    std::unique_ptr<ProgressWindow> m_progress;
    std::function<bool(SameNameDialog&)> m_runSameName;
};

} // namespace vemra
