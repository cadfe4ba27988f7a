#include "document/transfer_files.h"

#include "document/picture_notes.h"
#include "document/transfer_data.h"
#include "framework/ensure_folder.h"
#include "platform/file_status.h"
#include "platform/file_transfer.h"
#include "platform/path_parts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <system_error>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Folders nested deeper than this are not followed: a loop of bind mounts
// or a hostile tree must not run the walk forever.
constexpr int kMaxFolderDepth = 128;
constexpr int kMaxRenameQuestions = 100;
// How often input is answered while the work is counted.
constexpr auto kInputInterval = std::chrono::milliseconds(10);

bool pathExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

bool isRealFolder(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The names in a folder, sorted so that a walk is the same every time.
std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file counts 1; a folder 1 plus every file below it at any depth.
// nullopt when `stop` answered true (it is asked now and then, so the
// window answers input while a large tree is counted).
std::optional<int> countWork(const std::string& path, int depth,
                             const std::function<bool()>& stop) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return 0;
    if (!S_ISDIR(status.st_mode))
        return 1;
    int count = depth == 0 ? 1 : 0;
    if (depth >= kMaxFolderDepth)
        return count;
    for (const std::string& name : folderNames(path)) {
        if (stop())
            return std::nullopt;
        const std::optional<int> inner = countWork(joinPath(path, name), depth + 1, stop);
        if (!inner)
            return std::nullopt;
        count += *inner;
    }
    return count;
}

} // namespace

std::optional<std::string> absoluteFolder(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(path), error);
    if (error)
        return std::nullopt;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::optional<std::string> typedFolder(const std::string& typed, const std::string& current) {
    if (!typed.empty() && typed.front() != '/' && !current.empty())
        return absoluteFolder(joinPath(current, typed));
    return absoluteFolder(typed);
}

bool isInsideFolder(const std::string& inner, const std::string& outer) {
    std::error_code error;
    const std::string a = fs::weakly_canonical(fs::path(inner), error).string();
    if (error)
        return false;
    std::string b = fs::weakly_canonical(fs::path(outer), error).string();
    if (error)
        return false;
    while (b.size() > 1 && b.back() == '/')
        b.pop_back();
    if (a == b)
        return true;
    return a.size() > b.size() && a.compare(0, b.size(), b) == 0 &&
           (b == "/" || a[b.size()] == '/');
}

std::string noteOfFile(const std::string& path, const std::string& centralFolder) {
    PictureSource entry;
    entry.folder = folderPartOf(path);
    entry.fileName = namePartOf(path);
    loadNote(entry, centralFolder);
    return entry.note;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

FileTransfer::FileTransfer(TransferOptions options, TransferQuestions& questions)
    : m_options(std::move(options)), m_questions(questions), m_notes(m_options.centralFolder) {}

int FileTransfer::transferFiles(const std::string& destination,
                                const std::vector<TransferRecord>& list) {
    if (list.empty())
        return 0;
    const std::optional<std::string> folder = absoluteFolder(destination);
    if (!folder) {
        m_questions.report(destination + " \nフォルダの指定が正しくありません");
        return 0;
    }
    const auto ask = [this](const std::string& question) { return m_questions.confirm(question); };
    const auto report = [this](const std::string& text) { m_questions.report(text); };
    if (!folderReady(ensureFolder(*folder, ask, report)))
        return 0;

    // The window shows before the work is counted: an lstat for each of
    // thousands of files, or a walk through large folders, takes a while,
    // and "中止" and the other input are answered meanwhile.
    m_questions.beginProgress("ファイル操作実行中", "", static_cast<int>(list.size()));
    auto lastAnswered = std::chrono::steady_clock::now();
    bool stopped = false;
    const std::function<bool()> stop = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (!stopped && now - lastAnswered >= kInputInterval) {
            lastAnswered = now;
            stopped = m_questions.cancelRequested();
        }
        return stopped;
    };
    int work = 0;
    for (const TransferRecord& record : list) {
        const std::optional<int> count = stop() ? std::nullopt : countWork(record.source, 0, stop);
        if (!count) {
            m_questions.endProgress();
            return 0;
        }
        work += *count;
    }
    m_questions.setProgressTotal(work);
    int total = 0;
    for (const TransferRecord& record : list) {
        if (m_questions.cancelRequested())
            break;
        if (!pathExists(record.source))
            continue;
        // A name from elsewhere (a drop, a member) never reaches outside the
        // destination.
        const std::string name = record.targetName.empty() ? namePartOf(record.source)
                                                           : memberFileName(record.targetName);
        const std::string target = joinPath(*folder, name);
        if (isRealFolder(record.source)) {
            if (isInsideFolder(*folder, record.source)) {
                m_questions.fileDone(record.source, target, TransferOutcome::PassedOver, {});
                continue;
            }
            const int result = transferFolder(record.source, target);
            if (result < 0)
                break;
            total += result + 1;
            continue;
        }
        // Read before the move: the note belongs to the source's name.
        const std::string note =
            record.note ? *record.note : m_notes.noteOf(notePlaceOfFile(record.source));
        std::string finalTarget;
        const int result = transferFile(record.source, target, &finalTarget);
        if (result < 0)
            break;
        total += result;
        if (result == 1)
            carryNote(record.source, finalTarget, note);
    }
    // Stopped, failed or done: the notes of what was transferred are written.
    m_notes.write();
    m_questions.endProgress();
    return total;
}

void FileTransfer::carryNote(const std::string& source, const std::string& target,
                             const std::string& note) {
    // A moved picture takes its note along; left behind, it would attach
    // itself to the next file of that name.
    if (m_options.move)
        m_notes.carryNote(notePlaceOfFile(source), notePlaceOfFile(target), note);
    else
        m_notes.setNote(notePlaceOfFile(target), note);
}

int FileTransfer::transferFile(const std::string& source, const std::string& original,
                               std::string* finalTarget) {
    std::string target = original;
    if (isSameFile(source, target)) {
        m_questions.fileDone(source, target, TransferOutcome::Skipped, {});
        return 0;
    }
    const bool existed = pathExists(target);
    if (existed && !m_options.applyToAll) {
        const auto ask = [this](const std::string& q) { return m_questions.confirm(q); };
        const auto report = [this](const std::string& text) { m_questions.report(text); };
        for (int asked = 0;; ++asked) {
            if (asked >= kMaxRenameQuestions)
                return 0;
            const SameNameAnswer answer = m_questions.sameName(source, target, m_options);
            if (!answer.accepted)
                return -1;
            m_options.applyToAll = answer.applyToAll;
            m_options.action = answer.action;
            if (answer.action != SameNameAction::Rename)
                break;
            // A bare name stays in the target's folder.
            const std::string chosen =
                answer.target.empty()
                    ? target
                    : typedFolder(answer.target, folderPartOf(target)).value_or(target);
            const bool ready = folderReady(ensureFolder(folderPartOf(chosen), ask, report));
            target = chosen;
            // Asked again while the new name is taken too or has no folder.
            if (ready && !pathExists(chosen))
                break;
        }
    }
    bool transfer = !m_options.onlyExisting;
    if (existed) {
        const SameNameAction action = m_options.action;
        if (action == SameNameAction::Rename && target == original) {
            transfer = false; // no new name to go to (never asked)
        } else if (action == SameNameAction::AutoNumber) {
            target = firstFreeNumberedName(m_options.autoFileFormat, original);
            transfer = target != original;
        } else if (action != SameNameAction::Rename) {
            const std::optional<FileStatus> from = fileStatus(source);
            const std::optional<FileStatus> to = fileStatus(original);
            transfer =
                from && to &&
                transfersOver(action, from->lastWriteTime, from->size, to->lastWriteTime, to->size);
        } else {
            transfer = true;
        }
    }
    if (m_questions.advance(namePartOf(source)))
        return -1;
    if (!transfer) {
        m_questions.fileDone(source, target, TransferOutcome::Skipped, {});
        return 0;
    }
    for (;;) {
        const FileError error =
            m_options.move ? moveFileSafely(source, target) : copyFileSafely(source, target);
        if (!error)
            break;
        const ErrorChoice choice = m_questions.failed(source, target, error.text);
        if (choice == ErrorChoice::Retry)
            continue;
        m_questions.fileDone(source, target, TransferOutcome::Failed, error.text);
        return choice == ErrorChoice::Abort ? -1 : 0;
    }
    m_questions.fileDone(source, target, TransferOutcome::Transferred, {});
    if (finalTarget != nullptr)
        *finalTarget = target;
    return 1;
}

int FileTransfer::transferFolder(const std::string& source, const std::string& target) {
    return transferFolderAt(source, target, 0);
}

int FileTransfer::transferFolderAt(const std::string& source, const std::string& target,
                                   int depth) {
    if (isSameFile(source, target) || depth >= kMaxFolderDepth)
        return 0;
    if (!isRealFolder(target)) {
        std::error_code error;
        fs::create_directories(fs::path(target), error);
        if (error || !isRealFolder(target)) {
            m_questions.report(
                ensureFolderFailure(target, error ? error.message() : "Not a directory"));
            return -1;
        }
    }
    int total = 0;
    for (const std::string& name : folderNames(source)) {
        const std::string from = joinPath(source, name);
        const std::string to = joinPath(target, name);
        // A link to a folder is taken as the link itself, never followed:
        // it could lead back up the tree.
        const bool folder = isRealFolder(from);
        const int result = folder ? transferFolderAt(from, to, depth + 1) : transferFile(from, to);
        if (result < 0)
            return -1;
        total += result + (folder ? 1 : 0);
    }
    if (m_options.move)
        ::rmdir(source.c_str()); // fails, as it should, while anything is left in it
    return total;
}

} // namespace vemra
