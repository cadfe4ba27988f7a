#include "transfer_commands.h"

#include "document/archive_extraction.h"
#include "document/document_options.h"
#include "document/file_operations.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/registry_scan_services.h"
#include "document/transfer_files.h"
#include "framework/ensure_folder.h"
#include "picture_commands.h"
#include "platform/file_status.h"
#include "platform/file_transfer.h"
#include "platform/path_parts.h"
#include "registry_cli.h"
#include "settings/settings_store.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vemra::cli {
namespace {

const char* outcomeWord(TransferOutcome outcome, bool move) {
    switch (outcome) {
    case TransferOutcome::Transferred:
        return move ? "moved" : "copied";
    case TransferOutcome::Skipped:
        return "skipped";
    case TransferOutcome::Failed:
        return "failed";
    case TransferOutcome::PassedOver:
        return "passed-over";
    case TransferOutcome::Deleted:
        return "deleted";
    }
    return "?";
}

// Answers the questions from the command line: a missing destination is
// made, same names get the --same action for every file, a failure is
// reported and the next file goes on; one line per file on stdout.
class BatchQuestions final : public TransferQuestions {
public:
    BatchQuestions(bool move, SameNameAction action) : m_move(move), m_action(action) {}

    void report(const std::string& text) override {
        std::fprintf(stderr, "vemra-cli: %s\n", escapeText(text).c_str());
        m_failed = true;
    }
    bool confirm(const std::string&) override { return true; }
    SameNameAnswer sameName(const std::string&, const std::string& target,
                            const TransferOptions&) override {
        return {true, m_action, true, target};
    }
    ErrorChoice failed(const std::string&, const std::string&, const std::string&) override {
        return ErrorChoice::Ignore;
    }
    void beginProgress(std::string_view, std::string_view, int) override {}
    bool advance(std::string_view) override { return false; }
    bool cancelRequested() override { return false; }
    void endProgress() override {}
    void fileDone(const std::string& source, const std::string& target, TransferOutcome outcome,
                  std::string_view error) override {
        std::printf("%s\t%s\t%s", outcomeWord(outcome, m_move), escapeText(source).c_str(),
                    escapeText(target).c_str());
        if (!error.empty())
            std::printf("\t%s", escapeText(error).c_str());
        std::printf("\n");
        if (outcome == TransferOutcome::Failed)
            m_failed = true;
    }
    bool anyFailed() const { return m_failed; }

private:
    bool m_move;
    SameNameAction m_action;
    bool m_failed = false;
};

int runTransfer(std::span<const std::string_view> args, bool move) {
    const char* usage = move ? "move: usage is move SRC... DEST [--same 0-5] [--only-existing]"
                             : "copy: usage is copy SRC... DEST [--same 0-5] [--only-existing]";
    std::vector<std::string> paths;
    bool onlyExisting = false;
    int same = static_cast<int>(SameNameAction::Skip);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--only-existing") {
            onlyExisting = true;
        } else if (args[i] == "--same" && i + 1 < args.size()) {
            const std::string_view value = args[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '5')
                return usageError(usage);
            same = value[0] - '0';
        } else if (args[i].starts_with("-")) {
            return usageError(usage);
        } else {
            paths.emplace_back(args[i]);
        }
    }
    if (paths.size() < 2)
        return usageError(usage);
    // Renaming needs a name typed for each file, which a script cannot give.
    if (same == static_cast<int>(SameNameAction::Rename))
        return usageError("--same 3 (rename) asks for each name; use 4 for numbered names");
    const std::string destination = paths.back();
    paths.pop_back();
    const DocumentOptions options = DocumentOptions::load(settings());
    TransferOptions transfer;
    transfer.move = move;
    transfer.onlyExisting = onlyExisting;
    transfer.applyToAll = true;
    transfer.action = sameNameActionFrom(same, SameNameAction::Skip);
    transfer.autoFileFormat = options.autoFileFormat;
    transfer.centralFolder = options.centralCacheFolder();
    std::vector<TransferRecord> list;
    int status = 0;
    for (const std::string& path : paths) {
        if (!fileStatus(path)) {
            std::fprintf(stderr, "vemra-cli: %s: no such file or folder\n", path.c_str());
            status = 1;
            continue;
        }
        TransferRecord record;
        record.source = absoluteFolder(path).value_or(path);
        list.push_back(std::move(record));
    }
    BatchQuestions questions(move, transfer.action);
    FileTransfer(transfer, questions).transferFiles(destination, list);
    return questions.anyFailed() ? 1 : status;
}

} // namespace

int runCopy(std::span<const std::string_view> args) {
    return runTransfer(args, false);
}

int runMove(std::span<const std::string_view> args) {
    return runTransfer(args, true);
}

int runDelete(std::span<const std::string_view> args) {
    std::vector<std::string> paths;
    bool trash = false;
    for (const std::string_view arg : args) {
        if (arg == "--trash")
            trash = true;
        else if (arg.starts_with("-"))
            return usageError("delete: usage is delete FILE... [--trash]");
        else
            paths.emplace_back(arg);
    }
    if (paths.empty())
        return usageError("delete: usage is delete FILE... [--trash]");
    NoteChanges notes(DocumentOptions::load(settings()).centralCacheFolder());
    int status = 0;
    for (const std::string& given : paths) {
        const std::string path = absoluteFolder(given).value_or(given);
        if (!isExistingFile(path)) {
            std::printf("failed\t%s\t\t%s\n", escapeText(given).c_str(),
                        isExistingFolder(path) ? "a folder" : "no such file");
            status = 1;
            continue;
        }
        const std::string error = trash ? moveToTrash(path) : removeFile(path).text;
        if (!error.empty()) {
            std::printf("failed\t%s\t\t%s\n", escapeText(given).c_str(), escapeText(error).c_str());
            status = 1;
            continue;
        }
        notes.removeNote(notePlaceOfFile(path));
        std::printf("deleted\t%s\n", escapeText(given).c_str());
    }
    notes.write();
    return status;
}

int runUnpack(std::span<const std::string_view> args) {
    if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-"))
        return usageError("unpack: usage is unpack ARCHIVE DEST [--plugins DIR]");
    const std::string archive(args[0]);
    const std::string destination = absoluteFolder(std::string(args[1])).value_or("");
    if (!isExistingFile(archive)) {
        reportFailure(archive, static_cast<int>(ResultCode::OpenFailure),
                      resultName(ResultCode::OpenFailure));
        return 1;
    }
    const auto registry = openRegistry();
    RegistryScanServices services(*registry);
    RegistryPictureLoader loader(*registry);
    if (services.identifyArchive(archive) < 0) {
        std::fprintf(stderr, "vemra-cli: %s: no archive plug-in in use takes this file\n",
                     archive.c_str());
        return 1;
    }
    if (!folderReady(ensureFolder(destination, {}, [](const std::string& text) {
            std::fprintf(stderr, "vemra-cli: %s\n", escapeText(text).c_str());
        })))
        return 1;
    const int result = extractArchive(
        services, loader, archive, destination, [](const std::string& target, int code) {
            std::printf("%s\t%s\n", code == 0 ? "extracted" : "failed", escapeText(target).c_str());
        });
    if (result != 0) {
        std::fprintf(stderr, "vemra-cli: %s: %s (cause %d)\n", archive.c_str(),
                     std::string(extractionMessage(result)).c_str(), result);
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
