#pragma once

#include "document/cell_geometry.h"

namespace vemra {

class PictureSource;
class ScanServices;
class ThumbCache;
class ThumbnailMaker;

// What deciding on one entry's thumbnail needs.
struct ThumbnailServices {
    ThumbCache& cache;
    const ScanServices& services;
    ThumbnailMaker* maker = nullptr; // null: thumbnails only come from the cache
    bool storeAtOnce = false;        // the document's CacheFolder option
};

// The outcome for one cell: whether there is a thumbnail to draw, and
// whether it was made or loaded from the cache just now (then the other
// views are told with RedrawEntry).
struct CellThumbnail {
    bool exists = false;
    bool made = false;
    bool loaded = false;
    bool pending = false; // asked of the worker threads, not there yet
    bool isNew() const { return made || loaded; }
};

// The decision taken each time an entry's cell is drawn:
//   1. an entry that should look in the cache first and has no thumbnail
//      looks it up (once);
//   2. after a look-up, the entry's box becomes the cell size;
//   3. a thumbnail in memory that was not found just now is dropped when the
//      cell size differs from its box, when it was made with a lower
//      ScaleMode than the entry's, or with another Unsharp setting;
//   4. without a thumbnail, and only with `mayMake`, it is made for the
//      cell's picture area; the length and times of a plain file are read
//      again; a made thumbnail gets the cell size as its box and, with
//      `storeAtOnce`, goes into the cache at once.
// The entry's drawn cell size becomes the cell's, and its made-now flag
// tells whether the thumbnail is new.
CellThumbnail prepareCellThumbnail(PictureSource& entry, const CellGeometry& cell, bool mayMake,
                                   const ThumbnailServices& services);

// Reads a plain file's length and times again after its picture was
// decoded; an archive member keeps those of its archive's list. Any thread.
void refreshFromFileSystem(PictureSource& entry);

} // namespace vemra
