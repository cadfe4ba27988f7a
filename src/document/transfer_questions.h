#pragma once

#include "document/same_name_rule.h"

#include <string>
#include <string_view>

namespace vemra {

struct TransferOptions;

// The answer to "a file of the target's name exists".
struct SameNameAnswer {
    bool accepted = false; // false: the user cancelled the whole operation
    SameNameAction action = SameNameAction::NewerOnly;
    bool applyToAll = false; // "以降全て(&A)": ask no more
    // The target path, possibly edited (the Rename action); empty keeps it.
    std::string target;
};

enum class ErrorChoice { Abort, Retry, Ignore };

enum class TransferOutcome {
    Transferred,
    Skipped,    // the same-name rule or the copy option passed it by
    Failed,     // the system refused; the user chose to go on
    PassedOver, // a folder that would have gone into itself
    Deleted,
};

// Everything the file operations ask or show while they run. The dialogs
// of the browser implement it in the views; the batch tool answers from its
// command line and prints. The operations themselves touch no widget.
class TransferQuestions {
public:
    virtual ~TransferQuestions() = default;

    // A failure that ends the operation, shown with a stop icon.
    virtual void report(const std::string& text) = 0;
    // A Yes/No question (make a missing folder, delete the selection).
    virtual bool confirm(const std::string& question) = 0;
    // A file named like the target exists; `options` holds the action in
    // force so far (the dialog's preselection comes from its own setting).
    virtual SameNameAnswer sameName(const std::string& source, const std::string& target,
                                    const TransferOptions& options) = 0;
    // Copying, moving or deleting one file failed with the system's text.
    virtual ErrorChoice failed(const std::string& source, const std::string& target,
                               const std::string& text) = 0;

    // Progress: a window titled `title` with `text` over a bar of `total`
    // steps. advance() shows a file's name and moves one step on; it and
    // cancelRequested() answer whether "中止" was pressed since last asked.
    virtual void beginProgress(std::string_view title, std::string_view text, int total) = 0;
    // The number of steps once the work is counted, which may take a while
    // after the window is shown (folders to walk); nothing has advanced yet.
    virtual void setProgressTotal(int total) { (void)total; }
    virtual bool advance(std::string_view name) = 0;
    virtual bool cancelRequested() = 0;
    virtual void endProgress() = 0;

    // Told of every file's outcome (the batch tool prints one line each).
    virtual void fileDone(const std::string& source, const std::string& target,
                          TransferOutcome outcome, std::string_view error) {
        (void)source;
        (void)target;
        (void)outcome;
        (void)error;
    }
};

} // namespace vemra
