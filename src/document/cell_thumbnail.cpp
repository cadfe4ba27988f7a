#include "document/cell_thumbnail.h"

#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_maker.h"
#include "platform/file_status.h"

namespace vemra {
namespace {

bool outdated(const PictureSource& entry, const CellGeometry& cell) {
    return cell.cellWidth != entry.boxWidth || cell.cellHeight != entry.boxHeight ||
           entry.scaleModeUsed < entry.drawing.scaleMode ||
           entry.unsharpUsed != entry.drawing.unsharp ||
           entry.autoRotateUsed != entry.drawing.autoRotate ||
           entry.colourMarkUsed != colourMarkOf(entry.drawing.colour);
}

// Steps 1 to 3: the cache, the box and the outdated thumbnail.
CellThumbnail lookUp(PictureSource& entry, const CellGeometry& cell,
                     const ThumbnailServices& services) {
    CellThumbnail result;
    entry.madeNow = false;
    if (entry.useCacheFirst) {
        if (!entry.thumbnail)
            result.loaded = services.cache.lookUp(entry, services.services);
        entry.useCacheFirst = false;
    }
    if (entry.cacheTried) {
        entry.boxWidth = cell.cellWidth;
        entry.boxHeight = cell.cellHeight;
        entry.cacheTried = false;
    }
    entry.drawnCellWidth = cell.cellWidth;
    entry.drawnCellHeight = cell.cellHeight;
    if (!result.loaded && entry.thumbnail && outdated(entry, cell)) {
        entry.thumbnail = {};
        entry.cellPicture = {};
    }
    return result;
}

// Step 4 after the making, and what the cell learns.
CellThumbnail concluded(PictureSource& entry, const CellGeometry& cell,
                        const ThumbnailServices& services, CellThumbnail result, bool tried) {
    if (tried) {
        refreshFromFileSystem(entry);
        if (result.made) {
            entry.boxWidth = cell.cellWidth;
            entry.boxHeight = cell.cellHeight;
            if (services.storeAtOnce)
                services.cache.store(entry, services.services);
        }
    }
    entry.madeNow = result.isNew();
    result.exists = static_cast<bool>(entry.thumbnail);
    return result;
}

} // namespace

// A member's length and time come from its archive's list, not from the
// file system: the archive file's would never match the member again.
void refreshFromFileSystem(PictureSource& entry) {
    if (entry.isArchiveMember())
        return;
    if (const auto status = fileStatus(entry.fullPath())) {
        entry.length = status->size;
        entry.creationTime = status->creationTime;
        entry.lastWriteTime = status->lastWriteTime;
    }
}

CellThumbnail prepareCellThumbnail(PictureSource& entry, const CellGeometry& cell, bool mayMake,
                                   const ThumbnailServices& services) {
    CellThumbnail result = lookUp(entry, cell, services);
    if (entry.thumbnail)
        return concluded(entry, cell, services, result, false);
    if (!mayMake || services.maker == nullptr)
        return result;
    result.made = services.maker->make(entry, cell.areaWidth, cell.areaHeight);
    return concluded(entry, cell, services, result, true);
}

} // namespace vemra
