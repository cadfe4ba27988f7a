#include "document/save_in_format.h"

#include "document/folder_document.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/transfer_files.h"
#include "document/written_colours.h"
#include "framework/ensure_folder.h"
#include "platform/file_status.h"

#include <algorithm>

namespace vemra {
namespace {

std::string withoutExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool exists(const std::string& path) {
    return fileStatus(path).has_value();
}

// Where the picture goes after the same-name answer; empty: skip it.
std::string resolveTarget(const std::string& target, const SameNameAnswer& answer,
                          const std::string& autoFileFormat) {
    switch (answer.action) {
    case SameNameAction::Skip:
        return {};
    case SameNameAction::AutoNumber:
        return firstFreeNumberedName(autoFileFormat, target);
    case SameNameAction::Rename:
        return answer.target.empty() ? target : answer.target;
    default:
        return target;
    }
}

} // namespace

std::string saveTarget(const std::string& destination, const std::string& fileName,
                       const SaveFormatOptions& options) {
    return joinPath(destination, withoutExtension(fileName) + options.extension());
}

int saveEntriesInFormat(FolderDocument& document, std::span<const int> positions,
                        const std::string& destination, const ConversionSettings& settings,
                        SaveQuestions& questions) {
    if (!folderReady(ensureFolder(destination, {}, {})))
        return 0;
    PictureLoader* loader = document.pictureLoader();
    if (loader == nullptr)
        return 0;
    std::vector<int> ordered(positions.begin(), positions.end());
    std::sort(ordered.begin(), ordered.end());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    const std::string autoFileFormat = document.options().autoFileFormat;

    std::optional<SameNameAnswer> forAll;
    int written = 0;
    int done = 0;
    questions.beginProgress(static_cast<int>(ordered.size()));
    for (const int position : ordered) {
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        if (questions.advance(entry->fileName, done++))
            break;
        // The progress window handled events: the entry is looked up again.
        entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        std::string target = saveTarget(destination, entry->fileName, settings.options);
        if (exists(target)) {
            SameNameAnswer answer;
            if (forAll) {
                answer = *forAll;
            } else {
                answer = questions.overwrite(*entry, target);
                if (!answer.accepted)
                    break;
                // A new name that exists too is asked about again.
                while (answer.action == SameNameAction::Rename && !answer.target.empty() &&
                       answer.target != target && exists(answer.target)) {
                    answer = questions.overwrite(*entry, answer.target);
                    if (!answer.accepted)
                        break;
                }
                if (!answer.accepted)
                    break;
                if (answer.applyToAll)
                    forAll = answer;
            }
            target = resolveTarget(target, answer, autoFileFormat);
            if (target.empty())
                continue;
            // The questions ran event loops: the entry is looked up again.
            entry = document.entryAt(position);
            if (entry == nullptr)
                continue;
        }

        // The picture is converted upright: sizes and fitting are the ones
        // the user sees.
        learnPhotoFacts(*entry, loader);
        const PictureSize stored{entry->pictureWidth, entry->pictureHeight};
        const PictureSize full = uprightPictureSize(*entry);
        const ReducedDecode decode = [&](int reduction, PictureBuffer& out) {
            // A box of 0 x 0 asks for the full size; a smaller box lets the
            // decoder reduce.
            const int width = reduction > 1 ? (stored.width + reduction - 1) / reduction : 0;
            const int height = reduction > 1 ? (stored.height + reduction - 1) / reduction : 0;
            const int code = loader->loadForThumbnail(*entry, width, height, out);
            if (code == 0)
                out = orientedForEntry(std::move(out), *entry);
            return code;
        };
        PictureBuffer picture = convertPicture(full, decode, settings);
        if (!picture) {
            if (!questions.continueAfterFailure(entry->fileName))
                break;
            continue;
        }
        intptr_t userData = 0;
        const ProgressCallback progress = questions.reductionProgress(userData);
        const std::vector<std::byte> embedded = entryColourProfile(*entry);
        if (writeConverted(target, picture, settings.options, {embedded, settings.manageColours},
                           progress, userData))
            ++written;
    }
    questions.endProgress();
    return written;
}

} // namespace vemra
