#pragma once

#include "imaging/decoder.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vemra {

class FolderDocument;
class PictureLoader;
class ScanServices;
class TransferQuestions;

// The causes of a failed file write as the extraction reports them
// (1 generic ... 14 end of file; -1 the operation failed as a whole).
namespace file_cause {
inline constexpr int kGeneric = 1;
inline constexpr int kFileNotFound = 2;
inline constexpr int kBadPath = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidFile = 6;
inline constexpr int kRemoveCurrentDir = 7;
inline constexpr int kDirectoryFull = 8;
inline constexpr int kBadSeek = 9;
inline constexpr int kHardIo = 10;
inline constexpr int kSharingViolation = 11;
inline constexpr int kLockViolation = 12;
inline constexpr int kDiskFull = 13;
inline constexpr int kEndOfFile = 14;
inline constexpr int kFailed = -1;
} // namespace file_cause

// The cause code of a system error number.
int fileCauseOf(int errorNumber);
// The message shown for a result of the extraction; empty for 0 and for
// codes that have none.
std::string_view extractionMessage(int code);

// One archive member as the extraction needs it.
struct MemberToExtract {
    DecoderId archiveDecoder = kNoDecoder;
    std::string archivePath;
    std::string name; // inside the archive, for the plug-in's information
    int position = 0;
    std::uint64_t size = 0;
    std::int64_t time = 0; // seconds since 1970
};

// Writes the member to `target` (replacing a file there; the file appears
// complete or not at all) and gives it the member's time stamp. 0 on success
// and when the plug-in delivers nothing; otherwise the cause code of the
// failed write.
int extractMember(PictureLoader& loader, const MemberToExtract& member, const std::string& target);

// Every member of the archive file `archivePath` into `destination`, side
// by side under their file names (the archive's folders are not made; a
// later member of an equal name replaces an earlier one). 0, or the first
// non-zero result of extractMember; 0 also when no archive decoder takes the
// file or it cannot be listed.
// `written` (may be empty) hears of each member's target and result.
int extractArchive(const ScanServices& services, PictureLoader& loader,
                   const std::string& archivePath, const std::string& destination,
                   const std::function<void(const std::string& target, int result)>& written = {});

// "解凍": the archive members at `positions` and the archive files among
// them into `destination` (made when missing, without asking), with
// progress; plain pictures are passed over. A failed write is reported with
// its message and ends the command. The last result code (0 when all went).
int extractEntries(FolderDocument& document, std::span<const int> positions,
                   const std::string& destination, TransferQuestions& questions);

} // namespace vemra
