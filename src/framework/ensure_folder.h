#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vemra {

enum class EnsureFolderResult {
    Exists,   // it was there already
    Created,  // made, with every missing parent
    Declined, // the user did not want it made
    Failed,   // it could not be made, or the path names a file
};

// The question asked before a missing folder is made.
std::string ensureFolderQuestion(std::string_view path);
// The report of a failure: the path and the system's reason.
std::string ensureFolderFailure(std::string_view path, std::string_view reason);

// Makes sure `path` is a folder. A missing one is made with all missing
// parents after `ask` (given the question) agrees; without `ask` it is made
// silently. A failure is handed to `report` (may be empty) as the text of
// ensureFolderFailure. True results: Exists and Created.
EnsureFolderResult ensureFolder(std::string_view path,
                                const std::function<bool(const std::string&)>& ask,
                                const std::function<void(const std::string&)>& report);

inline bool folderReady(EnsureFolderResult result) {
    return result == EnsureFolderResult::Exists || result == EnsureFolderResult::Created;
}

} // namespace vemra
