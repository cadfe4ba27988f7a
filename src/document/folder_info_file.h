#pragma once

#include "document/picture_source.h"
#include "platform/field_list.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vemra {

class ProgressSink;
class ScanServices;

// Reads the folder-information file "DIRINFO.KPI" that other programs leave
// in picture folders: a list of the folder's pictures with their decoders,
// sizes, times, dimensions and info texts, and thumbnails in a companion data
// file (bitmap file images in version 1, JPEG data in version 2). The
// program reads such files and never writes them. Their thumbnails come as
// the program would make them now: upright and in the display's colours
// (one metadata read per picture with a thumbnail, on reading).
class FolderInfoFile {
public:
    static constexpr const char* kFileName = "DIRINFO.KPI";
    static constexpr const char* kCaption = "フォルダ情報ﾌｧｲﾙの読み込み";
    static constexpr const char* kAccessMessage = "フォルダ情報ファイルにアクセスしています...";
    // A thumbnail larger than this is taken as damage, not read.
    static constexpr std::uint64_t kMaxThumbnailBytes = 16u << 20;

    struct Request {
        std::string folder;
        bool archiveOption = false;      // list archive members
        IntPair thumbsLimitSize{40, 40}; // the smallest cell size
        // Every entry starts as a copy of this one (drawing options,
        // appearance and use-cache-first flag of the document).
        PictureSource prototype;
    };

    struct Result {
        bool loaded = false; // the file was there and readable
        bool cancelled = false;
        // The cell size the file was written for, at least the limit size;
        // set only when the file was loaded.
        std::optional<IntPair> thumbnailSize;
        // The name of the thumbnail data file, which the scan must not list.
        std::string thumbsFile;
        std::vector<std::unique_ptr<PictureSource>> entries;
    };

    static Result read(const Request& request, const ScanServices& services,
                       ProgressSink* progress);
};

} // namespace vemra
