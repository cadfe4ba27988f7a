#include "document/file_operations.h"

#include "document/folder_document.h"
#include "document/home_trash.h"
#include "document/note_changes.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/transfer_data.h"
#include "framework/update_hint.h"
#include "platform/file_status.h"
#include "platform/file_transfer.h"
#include "platform/path_parts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <unordered_set>

namespace vemra {
namespace {

// Positions in display order, each once, within the document.
std::vector<int> validPositions(FolderDocument& document, std::span<const int> positions) {
    std::vector<int> out;
    for (const int position : positions) {
        if (position >= 0 && position < document.displayedCount())
            out.push_back(position);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// The entry's note, read through the operation's note changes: each note
// file is read once for the whole selection, not once per entry.
const std::string& noteOf(NoteChanges& notes, PictureSource& entry) {
    if (!entry.noteLoaded) {
        entry.note = notes.noteOf(notePlaceOf(entry));
        entry.noteLoaded = true;
    }
    return entry.note;
}

// Unpacked archive members live here while a copy runs: a folder of this
// run only ("Vemra-" and a random part under the temporary folder), since
// a fixed shared name in /tmp could be prepared by another user.
class MemberWorkFolder {
public:
    bool ready() {
        if (!m_folder) {
            m_folder =
                std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/Vemra-XXXXXX"));
        }
        return m_folder->isValid();
    }
    // A path for the member `name` that no earlier member took.
    std::string pathFor(const std::string& name) {
        const std::string root = m_folder->path().toStdString();
        const std::string sub = joinPath(root, std::to_string(m_count++));
        std::error_code error;
        std::filesystem::create_directory(sub, error);
        return joinPath(sub, name);
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    int m_count = 0;
};

} // namespace

TransferOptions transferOptionsOf(const FolderDocument& document, bool move, bool onlyExisting) {
    TransferOptions options;
    options.move = move;
    options.onlyExisting = onlyExisting;
    options.autoFileFormat = document.options().autoFileFormat;
    options.centralFolder = document.options().centralCacheFolder();
    return options;
}

int copyEntries(FolderDocument& document, std::span<const int> positions,
                const std::string& destination, bool onlyExisting, TransferQuestions& questions) {
    std::vector<TransferRecord> list;
    MemberWorkFolder work;
    FileTransfer transfer(transferOptionsOf(document, false, onlyExisting), questions);
    for (const int position : validPositions(document, positions)) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        if (!entry->isArchiveMember()) {
            const std::string path = entry->fullPath();
            if (isExistingFile(path))
                list.push_back({path, noteOf(transfer.notes(), *entry), {}});
            continue;
        }
        const std::string name = memberFileName(entry->fileName);
        if (!work.ready())
            continue;
        const std::string path = work.pathFor(name);
        // A member that cannot be unpacked is left out without a word.
        if (document.extractMember(position, path) == 0)
            list.push_back({path, noteOf(transfer.notes(), *entry), name});
    }
    return transfer.transferFiles(destination, list);
}

int moveEntries(FolderDocument& document, std::span<const int> positions,
                const std::string& destination, bool onlyExisting, TransferQuestions& questions,
                DocumentView* sender) {
    std::vector<TransferRecord> list;
    std::vector<int> movedPositions;
    FileTransfer transfer(transferOptionsOf(document, true, onlyExisting), questions);
    for (const int position : validPositions(document, positions)) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr || entry->isArchiveMember())
            continue;
        std::string path = entry->fullPath();
        if (!isExistingFile(path))
            continue;
        list.push_back({std::move(path), noteOf(transfer.notes(), *entry), {}});
        movedPositions.push_back(position);
    }
    const int count = transfer.transferFiles(destination, list);
    if (count <= 0)
        return count;
    // The entries whose files went, found by the positions they had: a walk
    // over every entry of a large folder held the interface up.
    std::vector<int> gone;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const PictureSource* entry = document.entryAt(movedPositions[i]);
        if (entry == nullptr || entry->fullPath() != list[i].source) {
            // The document changed meanwhile: look the files up by path.
            std::set<std::string> moved;
            for (const TransferRecord& record : list)
                moved.insert(record.source);
            removeVanishedEntries(document, moved, sender);
            return count;
        }
        std::error_code error;
        if (!std::filesystem::exists(list[i].source, error) && !error)
            gone.push_back(movedPositions[i]);
    }
    if (document.removeEntries(gone, sender) > 0)
        document.updateAllViews(sender, hint::RedrawAll{});
    return count;
}

int deleteEntries(FolderDocument& document, std::span<const int> positions,
                  TransferQuestions& questions, DocumentView* sender) {
    struct Target {
        int position;
        std::string path;
    };
    std::vector<Target> targets;
    for (const int position : validPositions(document, positions)) {
        const PictureSource* entry = document.entryAt(position);
        if (entry != nullptr && !entry->isArchiveMember() && isExistingFile(entry->fullPath()))
            targets.push_back({position, entry->fullPath()});
    }
    if (targets.empty())
        return 0;
    const DocumentOptions& options = document.options();
    if (!options.delqa) {
        const std::string question = options.trashCan
                                         ? "選択した " + std::to_string(targets.size()) +
                                               " 個のファイルをごみ箱に移動してもよろしいですか？"
                                         : std::string("選択データを削除してもよろしいですか？");
        if (!questions.confirm(question))
            return 0;
    }
    NoteChanges notes(options.centralCacheFolder());
    questions.beginProgress(options.trashCan ? "ごみ箱に移動中..." : "ファイル削除中...", "",
                            static_cast<int>(targets.size()));
    // The entries leave the document together at the end: one at a time,
    // each removal moved every later entry and told every view, which made
    // deleting thousands of files in a large folder take minutes.
    std::vector<int> gone;
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        if (questions.advance(namePartOf(it->path)))
            break;
        std::string error;
        for (;;) {
            error = options.trashCan ? moveToTrash(it->path) : removeFile(it->path).text;
            if (error.empty() || questions.failed(it->path, {}, error) != ErrorChoice::Retry)
                break;
        }
        if (!error.empty()) {
            questions.fileDone(it->path, {}, TransferOutcome::Failed, error);
            std::error_code gone;
            if (std::filesystem::exists(it->path, gone) || gone)
                continue;
        }
        const PictureSource* entry = document.entryAt(it->position);
        if (entry == nullptr || entry->fullPath() != it->path)
            continue;
        notes.removeNote(notePlaceOf(*entry));
        gone.push_back(it->position);
        questions.fileDone(it->path, {}, TransferOutcome::Deleted, {});
    }
    // Once per note file, also when stopped part-way.
    notes.write();
    questions.endProgress();
    const int deleted = document.removeEntries(gone, sender);
    if (deleted > 0)
        document.updateAllViews(sender, hint::RedrawAll{});
    return deleted;
}

int transferDroppedFiles(FolderDocument& document, const ClipboardFiles& files,
                         const std::string& destination, bool move, TransferQuestions& questions) {
    std::vector<TransferRecord> list;
    for (std::size_t i = 0; i < files.paths.size(); ++i) {
        TransferRecord record{files.paths[i], std::nullopt, {}};
        // The notes stand in the order of the files; a drag of ours lists
        // its unpacked archive members after the plain files and notes.
        if (i < files.notes.size())
            record.note = files.notes[i];
        list.push_back(std::move(record));
    }
    FileTransfer transfer(transferOptionsOf(document, move, false), questions);
    const int count = transfer.transferFiles(destination, list);
    if (count > 0 && !document.currentFolder().empty()) {
        const auto folder = absoluteFolder(destination);
        // Files moved out of the open folder leave it, files that arrived
        // join it: either way it is read again.
        bool fromHere = false;
        for (const std::string& path : files.paths)
            fromHere = fromHere || path.rfind(document.currentFolder() + "/", 0) == 0;
        if ((folder && *folder == document.currentFolder()) || (move && fromHere))
            document.refresh(false);
    }
    return count;
}

int removeVanishedEntries(FolderDocument& document, const std::set<std::string>& paths,
                          DocumentView* sender) {
    // Names first: only an entry whose name is among them has its path
    // made and compared, so a walk over 100,000 entries stays short.
    std::unordered_set<std::string> names;
    for (const std::string& path : paths)
        names.insert(namePartOf(path));
    std::vector<int> gone;
    for (int position = 0; position < document.displayedCount(); ++position) {
        const PictureSource* entry = document.entryAt(position);
        if (entry == nullptr || entry->isArchiveMember() || !names.contains(entry->fileName))
            continue;
        const std::string path = entry->fullPath();
        std::error_code error;
        if (!paths.contains(path) || std::filesystem::exists(path, error) || error)
            continue;
        gone.push_back(position);
    }
    const int removed = document.removeEntries(gone, sender);
    if (removed > 0)
        document.updateAllViews(sender, hint::RedrawAll{});
    return removed;
}

std::string moveToTrash(const std::string& path, std::string* inTrash) {
    if (std::string reason = prepareHomeTrash(); !reason.empty())
        return reason;
    QFile file(QString::fromStdString(path));
    if (file.moveToTrash()) {
        if (inTrash != nullptr)
            *inTrash = file.fileName().toStdString();
        return {};
    }
    const std::string reason = file.errorString().toStdString();
    return reason.empty() ? std::string("ごみ箱に移動できません") : reason;
}

} // namespace vemra
