#pragma once

#include "document/picture_conversion.h"
#include "document/transfer_questions.h"

#include <span>
#include <string>

namespace vemra {

class FolderDocument;
class PictureSource;

// What "画像形式を指定して保存" asks and shows while it runs; the views
// answer with dialogs, tests with scripts.
class SaveQuestions {
public:
    virtual ~SaveQuestions() = default;
    // `target` exists: what to do ("重ね書き"). Not accepted ends the command.
    virtual SameNameAnswer overwrite(const PictureSource& entry, const std::string& target) = 0;
    // The picture of `name` could not be decoded: go on with the next one?
    virtual bool continueAfterFailure(const std::string& name) = 0;
    // The progress window "ファイル保存中..." of `total` pictures; advance()
    // shows a name and the count done, handles pending input and answers
    // whether "中止" was pressed. It is called again and again while the
    // batch waits for a picture.
    virtual void beginProgress(int total) = 0;
    virtual bool advance(std::string_view name, int done) = 0;
    virtual void endProgress() = 0;
    // The colour reduction's own progress ("減色中..."): a callback and its
    // user data for reduceColours (null: none).
    virtual ProgressCallback reductionProgress(intptr_t& userData) {
        userData = 0;
        return nullptr;
    }
};

// The target of `entry` in `destination`: its name without the extension
// plus the format's.
std::string saveTarget(const std::string& destination, const std::string& fileName,
                       const SaveFormatOptions& options);

// Saves the pictures at display `positions` (in display order) into
// `destination` (made, with missing parents, when needed; nothing is done
// when it cannot be) as the settings say, decoding through the document's
// picture loader. Archive members are decoded from their archive. An
// existing target is asked about (unless an earlier answer holds for all):
// skip, a numbered name by `autoFileFormat`, an edited name, or overwrite
// (the newer-only and larger-only answers overwrite too, as no date or size
// compares with a picture not yet written). The pictures are converted
// and written on the document's worker threads from copies of their
// entries; the questions, the progress and the files' final names follow
// file order on the calling (interface) thread, and a batch that ends early
// keeps only the files of the pictures before that point. The number of
// files written.
int saveEntriesInFormat(FolderDocument& document, std::span<const int> positions,
                        const std::string& destination, const ConversionSettings& settings,
                        SaveQuestions& questions);

} // namespace vemra
