#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace vemra {

// Writes a file so that readers only ever see the old or the complete new
// content: the bytes go to a temporary file beside the target, which replaces
// the target by a rename on commit(). A writer destroyed without a successful
// commit() removes its temporary file and leaves the target untouched.
class AtomicFile {
public:
    explicit AtomicFile(std::string targetPath);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Creates the temporary file; false when the folder cannot be written.
    bool open();
    // Appends bytes; false (and the writer is failed) on a short write.
    bool write(std::span<const std::byte> bytes);
    // Renames the temporary file over the target; false when any step failed.
    bool commit();
    // The system's text for the first failure, empty when none.
    const std::string& errorText() const { return m_error; }
    // The system's error number of that failure, 0 when none.
    int errorNumber() const { return m_errorNumber; }

private:
    void fail(int errorNumber);
    void discard() noexcept;

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    std::string m_error;
    int m_errorNumber = 0;
};

// Writes `bytes` to `path` through an AtomicFile.
bool writeFileAtomically(const std::string& path, std::span<const std::byte> bytes);

} // namespace vemra
