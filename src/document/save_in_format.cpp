#include "document/save_in_format.h"

#include "document/folder_document.h"
#include "document/save_workers.h"
#include "document/transfer_files.h"
#include "framework/ensure_folder.h"
#include "platform/file_status.h"
#include "platform/staged_files.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <set>

namespace vemra {
namespace {

std::string withoutExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool exists(const std::string& path) {
    return fileStatus(path).has_value();
}

// How long the interface thread waits for a picture before it answers
// input again.
constexpr std::chrono::milliseconds kPollInterval{20};

// One picture of the batch in file order. Its file is written under a
// staging name and takes its real name only when its turn comes, after
// every picture before it: a batch that ends early (a cancel, "No" after a
// failure) leaves exactly the files the pictures before that point made,
// and never touches a file a later picture would have replaced.
struct Turn {
    std::string name;   // shown in the progress window and the failure question
    std::string target; // empty: skipped
    std::size_t ticket = 0;
    std::unique_ptr<StagedFiles> staged;
};

// The batch as the interface thread runs it: it resolves the targets in
// file order (asking the same-name questions) a few pictures ahead of the
// workers, and takes the results in the same order (asking after failures,
// showing progress), answering input while it waits.
class SaveBatch {
public:
    SaveBatch(FolderDocument& document, const std::string& destination,
              const ConversionSettings& settings, SaveQuestions& questions)
        : m_document(document), m_destination(destination), m_settings(settings),
          m_questions(questions), m_autoFileFormat(document.options().autoFileFormat),
          m_workers(document.sharedWorkerPool(), *document.pictureLoader(), settings) {
        // Enough pictures ahead to keep every worker busy while the
        // interface thread takes a result and resolves the next target.
        m_ahead = static_cast<std::size_t>(std::max(1, m_workers.threadCount())) * 2;
    }
    ~SaveBatch() {
        // The running pictures finish before their staged files go.
        m_workers.stopAll();
        m_turns.clear();
    }

    int run(const std::vector<int>& positions) {
        m_questions.beginProgress(static_cast<int>(positions.size()));
        std::size_t next = 0;
        while (!m_stopped) {
            while (!m_stopped && next < positions.size() && m_turns.size() < m_ahead)
                resolve(positions[next++]);
            if (m_stopped || m_turns.empty())
                break;
            finishFirst();
        }
        // The pictures still running finish (their files are not kept);
        // the window goes on answering meanwhile.
        m_workers.stop();
        while (!m_workers.waitStopped(kPollInterval))
            m_questions.advance(shownName({}), m_done);
        m_turns.clear();
        m_questions.endProgress();
        return m_written;
    }

private:
    std::string_view shownName(std::string_view fallback) const {
        return m_turns.empty() ? fallback : m_turns.front().name;
    }

    bool claimed(const std::string& path) const { return m_claimed.contains(path); }

    // Every picture handed out is finished first (their files then exist or
    // not, as on one thread).
    void drain() {
        while (!m_stopped && !m_turns.empty())
            finishFirst();
    }

    // Whether `path` exists as it would when every earlier picture were
    // written: one of them may go there.
    bool occupied(const std::string& path) {
        if (claimed(path))
            drain();
        return exists(path);
    }

    // The same-name answer for the picture at `position`; nullopt ends the
    // command. A question is asked only when every picture before it is
    // finished, so questions come in the order one thread asks them (a
    // failure of an earlier picture first) and a cancel leaves what the
    // earlier pictures made.
    std::optional<SameNameAnswer> ask(int position, const std::string& target) {
        if (m_forAll)
            return m_forAll;
        // A picture that went meanwhile is passed over.
        const SameNameAnswer gone{true, SameNameAction::Skip, false, {}};
        drain();
        const PictureSource* entry = m_document.entryAt(position);
        if (m_stopped)
            return std::nullopt;
        if (entry == nullptr)
            return gone;
        if (m_questions.advance(entry->fileName, m_done)) {
            m_stopped = true;
            return std::nullopt;
        }
        entry = m_document.entryAt(position);
        if (entry == nullptr)
            return gone;
        SameNameAnswer answer = m_questions.overwrite(*entry, target);
        // A new name that exists too is asked about again.
        while (answer.accepted && answer.action == SameNameAction::Rename &&
               !answer.target.empty() && answer.target != target && exists(answer.target) &&
               (entry = m_document.entryAt(position)) != nullptr)
            answer = m_questions.overwrite(*entry, answer.target);
        if (!answer.accepted || m_stopped)
            return std::nullopt;
        if (answer.applyToAll)
            m_forAll = answer;
        return answer;
    }

    // Where the picture goes after the same-name answer; empty: skip it.
    std::string answeredTarget(const std::string& target, const SameNameAnswer& answer) {
        switch (answer.action) {
        case SameNameAction::Skip:
            return {};
        case SameNameAction::AutoNumber: {
            std::string numbered = firstFreeNumberedName(m_autoFileFormat, target);
            if (claimed(numbered)) {
                drain();
                numbered = firstFreeNumberedName(m_autoFileFormat, target);
            }
            return numbered;
        }
        case SameNameAction::Rename:
            return answer.target.empty() ? target : answer.target;
        default:
            return target;
        }
    }

    void resolve(int position) {
        const PictureSource* entry = m_document.entryAt(position);
        if (entry == nullptr)
            return;
        if (m_questions.advance(shownName(entry->fileName), m_done)) {
            m_stopped = true;
            return;
        }
        // The progress window handled events: the entry is looked up again,
        // after every wait below too.
        entry = m_document.entryAt(position);
        if (entry == nullptr)
            return;
        const std::string source =
            entry->isArchiveMember() ? entry->archiveFullPath() : entry->fullPath();
        // An earlier picture replaces the file this one is read from: this
        // one reads it once that is done, as on one thread.
        if (claimed(source)) {
            drain();
            entry = m_document.entryAt(position);
            if (m_stopped || entry == nullptr)
                return;
        }
        std::string target = saveTarget(m_destination, entry->fileName, m_settings.options);
        Turn turn;
        turn.name = entry->fileName;
        const bool taken = occupied(target);
        entry = m_document.entryAt(position);
        if (m_stopped || entry == nullptr)
            return;
        if (taken) {
            const std::optional<SameNameAnswer> answer = ask(position, target);
            if (!answer) {
                m_stopped = true;
                return;
            }
            target = answeredTarget(target, *answer);
            entry = m_document.entryAt(position);
            if (m_stopped || entry == nullptr)
                return;
        }
        if (!target.empty()) {
            turn.staged = std::make_unique<StagedFiles>();
            turn.ticket = m_workers.submit(saveRequest(*entry, turn.staged->stage(target)));
            turn.target = target;
            m_claimed.insert(target);
        }
        m_turns.push_back(std::move(turn));
    }

    // Waits for the first picture handed out (answering input meanwhile and
    // showing its colour reduction) and takes its result.
    void finishFirst() {
        Turn& turn = m_turns.front();
        if (!turn.target.empty()) {
            intptr_t userData = 0;
            const ProgressCallback reduction = m_questions.reductionProgress(userData);
            SaveWorkers::Reduction shown;
            SaveWorkers::State state = SaveWorkers::State::Pending;
            while ((state = m_workers.wait(turn.ticket, kPollInterval)) ==
                   SaveWorkers::State::Pending) {
                if (reduction != nullptr) {
                    const SaveWorkers::Reduction now = m_workers.reduction(turn.ticket);
                    if (now.total > 0 && now.done != shown.done) {
                        shown = now;
                        if (reduction(now.done, now.total, userData) != 0)
                            m_workers.stopReduction(turn.ticket);
                    }
                }
                if (m_questions.advance(turn.name, m_done)) {
                    m_stopped = true;
                    return;
                }
            }
            // A reduction window shown is closed.
            if (reduction != nullptr && shown.total > 0 && shown.done < shown.total)
                reduction(shown.total, shown.total, userData);
            const SaveResult result = m_workers.result(turn.ticket);
            if (state == SaveWorkers::State::Dropped || !result.decoded) {
                if (!m_questions.continueAfterFailure(turn.name)) {
                    m_stopped = true;
                    return;
                }
            } else if (result.written && turn.staged->commit()) {
                ++m_written;
            }
            m_claimed.erase(m_claimed.find(turn.target));
        }
        m_turns.pop_front();
        ++m_done;
    }

    FolderDocument& m_document;
    const std::string& m_destination;
    const ConversionSettings& m_settings;
    SaveQuestions& m_questions;
    const std::string m_autoFileFormat;
    SaveWorkers m_workers;
    std::size_t m_ahead = 2;
    std::deque<Turn> m_turns;
    // The targets of the pictures handed out and not finished.
    std::multiset<std::string> m_claimed;
    std::optional<SameNameAnswer> m_forAll;
    int m_written = 0;
    int m_done = 0;
    bool m_stopped = false;
};

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
    if (document.pictureLoader() == nullptr)
        return 0;
    std::vector<int> ordered(positions.begin(), positions.end());
    std::sort(ordered.begin(), ordered.end());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    SaveBatch batch(document, destination, settings, questions);
    return batch.run(ordered);
}

} // namespace vemra
