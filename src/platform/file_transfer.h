#pragma once

#include <string>

namespace vemra {

// The outcome of one file operation: 0 and an empty text on success, else
// the system's error number and its text.
struct FileError {
    int code = 0;
    std::string text;
    explicit operator bool() const { return code != 0; }
    static FileError fromErrno(int errorNumber);
};

// Copies the file `source` to `target` so that no partial file ever stands
// under the target's name: the bytes go to a hidden temporary file in the
// target's folder, are flushed to the disk, and only then replace the
// target by a rename. A failure (disk full, no permission, the source
// vanishing) removes the temporary file and leaves both the source and an
// existing target untouched. The copy keeps the source's permission bits
// and its access and modification times; a symbolic link is copied as a
// link.
FileError copyFileSafely(const std::string& source, const std::string& target);

// Moves the file `source` to `target`, replacing an existing target. Within
// one file system this is a rename; across file systems the file is copied
// as copyFileSafely does and the source removed only after the copy is on
// the disk.
FileError moveFileSafely(const std::string& source, const std::string& target);

// Removes a file (whatever its permission bits say, as a file manager does).
FileError removeFile(const std::string& path);

// True when both paths name the same file system object (also through links
// or another spelling of the path).
bool isSameFile(const std::string& a, const std::string& b);

} // namespace vemra
