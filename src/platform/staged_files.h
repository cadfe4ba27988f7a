#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// The files of one run that makes several files (a catalog's pages and
// thumbnails): each is written under a staging name beside its target, and
// only when the whole run has succeeded do they all replace their targets.
// A run that fails or is cancelled leaves no file of its own and every
// earlier file as it was. Discarded on destruction unless committed.
class StagedFiles {
public:
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    ~StagedFiles();

    // The name to write `target` under until commit(). Staging a target
    // again gives a fresh name; the later file wins.
    std::string stage(std::string_view target);
    // Renames every staged file that exists over its target, in the order
    // staged. False (with the system's text in errorText()) when a rename
    // failed; the files not yet renamed are removed.
    bool commit();
    // Removes every staged file.
    void discard() noexcept;

    // The targets in the order staged.
    std::vector<std::string> targets() const;
    const std::string& errorText() const { return m_error; }

private:
    struct Entry {
        std::string target;
        std::string staged;
    };
    std::vector<Entry> m_entries;
    std::string m_error;
};

} // namespace vemra
