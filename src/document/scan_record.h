#pragma once

#include "document/picture_source.h"
#include "document/scan_request.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vemra {

// What the last complete scan of the open folder found, kept so that a
// display filter that can only take away from it is applied to the entries
// at hand instead of the disk: the request it answered, what decided which
// files became entries, the folders it read (to tell whether their lists of
// names changed since), and its entries in the order it found them, those
// listed now and those a narrower filter holds back.
//
// A record is kept only for a scan that enumerated with one mask, read no
// folder-information file and walked every entry: then its order is the
// folders' name order, which any narrower scan keeps.
struct ScanRecord {
    // Past this, a folder's modification time tells of every later change:
    // file systems keep times no finer than this (FAT: 2 s), so a folder
    // changed less than this before it was read might change again without
    // its time moving.
    static constexpr std::int64_t kSettledNanoseconds = 3'000'000'000;

    struct Folder {
        std::string path;
        std::int64_t modifiedNanoseconds = 0;
    };
    // What the date and size limits of a scan look at for an archive's
    // members: the archive file's own size and time.
    struct FileFacts {
        std::uint64_t size = 0;
        std::int64_t lastWriteTime = 0;
    };

    ScanRequest request;
    std::string mask; // the one mask enumerated with
    // The rules that turned files away after the enumeration.
    bool scanSpi = false;
    bool extensionOnly = false;
    std::string pictureExtensions;
    std::string archiveExtensions;

    std::vector<Folder> folders;
    std::unordered_map<std::string, FileFacts> archives; // by the archive's full path

    // How many entries the scan listed, and the place in its order of each
    // entry of the document's entry list (index for index) and of each
    // entry held back.
    std::size_t count = 0;
    std::vector<std::uint32_t> listedRanks;
    std::vector<std::unique_ptr<PictureSource>> held;
    std::vector<std::uint32_t> heldRanks;
};

} // namespace vemra
