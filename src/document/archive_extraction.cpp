#include "document/archive_extraction.h"

#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/scan_services.h"
#include "document/transfer_data.h"
#include "document/transfer_files.h"
#include "document/transfer_questions.h"
#include "framework/ensure_folder.h"
#include "imaging/plugin_module.h"
#include "platform/atomic_file.h"
#include "platform/file_status.h"
#include "platform/path_parts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vemra {

int fileCauseOf(int errorNumber) {
    switch (errorNumber) {
    case 0:
        return 0;
    case ENOENT:
        return file_cause::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EISDIR:
        return file_cause::kBadPath;
    case EMFILE:
    case ENFILE:
        return file_cause::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
        return file_cause::kAccessDenied;
    case EBADF:
        return file_cause::kInvalidFile;
    case EBUSY:
    case ETXTBSY:
        return file_cause::kSharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return file_cause::kDiskFull;
    case EIO:
        return file_cause::kHardIo;
    case ESPIPE:
        return file_cause::kBadSeek;
    default:
        return file_cause::kGeneric;
    }
}

std::string_view extractionMessage(int code) {
    static constexpr std::string_view kMessages[] = {
        "",
        "未定義ｴﾗｰ",
        "ﾌｧｲﾙ未定義",
        "不正ﾊﾟｽ",
        "ｵｰﾌﾟﾝ ﾌｧｲﾙ数超過",
        "ﾌｧｲﾙ ｱｸｾｽ禁止",
        "不正ﾌｧｲﾙ ﾊﾝﾄﾞﾙ使用",
        "作業中のｶﾚﾝﾄ ﾃﾞｨﾚｸﾄﾘの削除不可",
        "ﾃﾞｨﾚｸﾄﾘ ﾌﾙ",
        "ﾌｧｲﾙ ﾎﾟｲﾝﾀ設定ｴﾗｰ",
        "ﾊｰﾄﾞｳｪｱ ｴﾗｰ",
        "SHARE.EXE 未ﾛｰﾄﾞまたは共有領域ﾛｯｸ済み",
        "ﾛｯｸ済み領域のﾛｯｸ要求",
        "[ﾃﾞｨｽｸ ﾌﾙ]　これ以上書き込むことができません",
        "ﾌｧｲﾙの終わりに到達",
    };
    if (code == file_cause::kFailed)
        return "ﾌｧｲﾙ操作に失敗";
    if (code > 0 && code < static_cast<int>(std::size(kMessages)))
        return kMessages[code];
    return {};
}

int extractMember(PictureLoader& loader, const MemberToExtract& member, const std::string& target) {
    PictureSource entry;
    entry.folder = folderPartOf(member.archivePath);
    entry.archiveFileName = namePartOf(member.archivePath);
    entry.fileName = member.name;
    entry.archiveDecoder = member.archiveDecoder;
    entry.memberPosition = member.position;
    std::vector<std::byte> bytes;
    if (loader.extractMember(entry, bytes) != 0)
        return 0; // nothing delivered: passed over
    // Plug-ins may round a block up by a few bytes; a block much larger than
    // the listed size holds a member the list understated. Never more than
    // was delivered is written.
    std::uint64_t count = member.size;
    if (bytes.size() > member.size + 4)
        count = bytes.size();
    count = std::min<std::uint64_t>(count, bytes.size());
    AtomicFile file(target);
    if (!file.open() || !file.write(std::span(bytes).first(static_cast<std::size_t>(count))) ||
        !file.commit()) {
        const int cause = fileCauseOf(file.errorNumber());
        return cause != 0 ? cause : file_cause::kGeneric;
    }
    const struct timespec times[2] = {{static_cast<time_t>(member.time), 0},
                                      {static_cast<time_t>(member.time), 0}};
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return 0;
}

int extractArchive(const ScanServices& services, PictureLoader& loader,
                   const std::string& archivePath, const std::string& destination,
                   const std::function<void(const std::string& target, int result)>& written) {
    const DecoderId archive = services.identifyArchive(archivePath);
    if (archive < 0)
        return 0;
    std::vector<ArchiveEntry> members;
    if (services.listArchive(archive, archivePath, members) != ResultCode::Success)
        return 0;
    for (const ArchiveEntry& m : members) {
        const MemberToExtract member{archive,
                                     archivePath,
                                     entryPath(m) + entryFileName(m),
                                     static_cast<int>(m.position),
                                     m.filesize,
                                     static_cast<std::int64_t>(m.timestamp)};
        const std::string target = joinPath(destination, memberFileName(entryFileName(m)));
        const int result = extractMember(loader, member, target);
        if (written)
            written(target, result);
        if (result != 0)
            return result;
    }
    return 0;
}

int extractEntries(FolderDocument& document, std::span<const int> positions,
                   const std::string& destination, TransferQuestions& questions) {
    PictureLoader* loader = document.pictureLoader();
    const std::optional<std::string> folder = absoluteFolder(destination);
    if (loader == nullptr || !folder)
        return file_cause::kFailed;
    const auto report = [&questions](const std::string& text) { questions.report(text); };
    if (!folderReady(ensureFolder(*folder, {}, report)))
        return file_cause::kFailed;
    std::vector<int> list(positions.begin(), positions.end());
    std::sort(list.begin(), list.end());
    questions.beginProgress("書庫の解凍", "書庫ファイルから解凍しています...",
                            static_cast<int>(list.size()));
    int result = 0;
    for (const int position : list) {
        if (questions.cancelRequested())
            break;
        const PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        // "中止" takes effect before the next entry; this one is finished.
        bool stop = false;
        if (entry->isArchiveMember()) {
            stop = questions.advance(memberFileName(entry->fileName));
            const MemberToExtract member{entry->archiveDecoder, entry->archiveFullPath(),
                                         entry->fileName,       entry->memberPosition,
                                         entry->length,         entry->lastWriteTime};
            const std::string target = joinPath(*folder, memberFileName(entry->fileName));
            result = extractMember(*loader, member, target);
            questions.fileDone(entry->archiveFullPath() + ":" + entry->fileName, target,
                               result == 0 ? TransferOutcome::Transferred : TransferOutcome::Failed,
                               extractionMessage(result));
        } else {
            stop = questions.advance(entry->fileName);
            // A plain file no picture decoder takes, with something in it,
            // counts as an archive file.
            if (entry->decoder < 0 && entry->length > 0)
                result = extractArchive(document.services(), *loader, entry->fullPath(), *folder);
        }
        if (!extractionMessage(result).empty()) {
            questions.report(std::string(extractionMessage(result)));
            break;
        }
        if (stop)
            break;
    }
    questions.endProgress();
    return result;
}

} // namespace vemra
