#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vemra {

// What the folder scan and the stored-information checks need to know about
// one path. Times are seconds since 1970; the creation time is the file
// system's birth time where it keeps one, else the modification time.
struct FileStatus {
    bool isFolder = false;
    bool isFile = false; // a regular file (after following symbolic links)
    std::uint64_t size = 0;
    std::int64_t creationTime = 0;
    std::int64_t lastWriteTime = 0;
    // Identity of the file system object, to notice a folder seen twice
    // through links.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// The status of `path`, or nullopt when it does not exist or cannot be read.
std::optional<FileStatus> fileStatus(const std::string& path);
// The same for `name` relative to the open folder `folderFd`, which spares the
// kernel walking the whole path again for every file of a folder.
std::optional<FileStatus> fileStatusAt(int folderFd, const char* name);

// The serial number of the volume holding `path`: the file system id folded
// to 32 bits, 0 when it cannot be read. Central stores key folders by it, so
// a removable disc mounted elsewhere still finds its records.
std::uint32_t volumeSerial(const std::string& path);

inline bool isExistingFile(const std::string& path) {
    auto s = fileStatus(path);
    return s && s->isFile;
}
inline bool isExistingFolder(const std::string& path) {
    auto s = fileStatus(path);
    return s && s->isFolder;
}

} // namespace vemra
