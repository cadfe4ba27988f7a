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
#include <filesystem>
#include <system_error>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Folders nested deeper than this are not followed: a loop of bind mounts
// or a hostile tree must not run the walk forever.
constexpr int kMaxFolderDepth = 128;
constexpr int kMaxRenameQuestions = 100;

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
    : m_options(std::move(options)), m_questions(questions) {}

// A file counts 1; a folder 1 plus every file below it at any depth.
int FileTransfer::countWork(const std::string& path, int depth) const {
    if (!isRealFolder(path))
        return pathExists(path) ? 1 : 0;
    int count = depth == 0 ? 1 : 0;
    if (depth >= kMaxFolderDepth)
        return count;
    for (const std::string& name : folderNames(path))
        count += countWork(joinPath(path, name), depth + 1);
    return count;
}

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

    int work = 0;
    for (const TransferRecord& record : list)
        work += countWork(record.source, 0);
    m_questions.beginProgress("ファイル操作実行中", "", work);
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
            record.note ? *record.note : noteOfFile(record.source, m_options.centralFolder);
        std::string finalTarget;
        const int result = transferFile(record.source, target, &finalTarget);
        if (result < 0)
            break;
        total += result;
        if (result == 1)
            carryNote(record.source, finalTarget, note);
    }
    m_questions.endProgress();
    return total;
}

void FileTransfer::carryNote(const std::string& source, const std::string& target,
                             const std::string& note) {
    PictureSource arrived;
    arrived.folder = folderPartOf(target);
    arrived.fileName = namePartOf(target);
    arrived.note = note;
    saveNote(arrived, m_options.centralFolder);
    if (!m_options.move)
        return;
    // A moved picture takes its note along; left behind, it would attach
    // itself to the next file of that name.
    PictureSource left;
    left.folder = folderPartOf(source);
    left.fileName = namePartOf(source);
    if (left.folder != arrived.folder || left.fileName != arrived.fileName)
        deleteNote(left, m_options.centralFolder);
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
