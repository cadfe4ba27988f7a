#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vemra {

// Where a picture folder's own store file lies. Thumbnails and notes share
// the scheme: a file in the picture folder, or a numbered file in the central
// cache folder, which the list file "_cache_.lst" assigns to each folder.
struct StoreKind {
    std::string_view inFolderName; // "_THUMBS_.KPI"
    std::string_view section;      // section of the list file
    std::string_view extension;    // of the numbered files: "%08d" + ".kpt"
};

inline constexpr StoreKind kThumbStore{"_THUMBS_.KPI", "Thumbsnail", ".kpt"};
inline constexpr StoreKind kNoteStore{"_NOTE_.KPI", "Note", ".kpn"};

inline constexpr std::string_view kCacheListName = "_cache_.lst";
inline constexpr std::string_view kCacheSeqNoKey = "CacheSeqNo";

// The key of `folder` in the list file: the volume serial as eight
// hexadecimal digits followed by the path, each "=" turned into "|" since
// "=" would end an ini key.
std::string storeFolderKey(std::string_view folder);

// The store file of `folder`. An existing in-folder file always wins, so a
// folder that carries its store with it keeps it. Otherwise, with a central
// folder, the file named for the folder in the list file, giving the folder
// the next number when it has none; a list file that cannot be written
// leaves the folder with its in-folder file.
std::string locateStoreFile(std::string_view folder, std::string_view centralFolder,
                            const StoreKind& kind);

// The look-up-only form: the store file of `folder` when one already exists
// (in the folder, or named in the list file); it never gives out a number.
std::optional<std::string> findStoreFile(std::string_view folder, std::string_view centralFolder,
                                         const StoreKind& kind);

} // namespace vemra
