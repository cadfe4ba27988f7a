#include "document/folder_document.h"

#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/scan_services.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_maker.h"
#include "platform/atomic_file.h"

#include <vector>

namespace vemra {

void FolderDocument::setPictureLoader(PictureLoader* loader) {
    dropThumbnailStep();
    m_loader = loader;
    if (loader == nullptr) {
        m_maker.reset();
        return;
    }
    m_maker = std::make_unique<ThumbnailMaker>(*loader, m_options.sharpening());
}

// The options may change between two drawings (the settings dialog); the
// cache follows CacheDataFolder as soon as it does. Files already open keep
// the place they were found at.
void FolderDocument::publishCacheFolder() {
    std::string central = m_options.centralCacheFolder();
    if (central != m_cache.centralFolder())
        m_cache.setCentralFolder(std::move(central));
}

CellThumbnail FolderDocument::prepareThumbnail(int position, const CellGeometry& cell,
                                               bool mayMake) {
    PictureSource* entry = entryAt(position);
    if (entry == nullptr)
        return {};
    publishCacheFolder();
    if (!entry->noteLoaded)
        loadNote(*entry, m_cache.centralFolder());
    const ThumbnailServices services{m_cache, m_services, m_maker.get(), m_options.cacheFolder};
    return prepareCellThumbnail(*entry, cell, mayMake, services);
}

std::optional<CellThumbnail>
FolderDocument::prepareThumbnailStep(int position, const CellGeometry& cell,
                                     const std::function<bool()>& shouldStop) {
    PictureSource* entry = entryAt(position);
    if (entry == nullptr)
        return CellThumbnail{};
    publishCacheFolder();
    if (!entry->noteLoaded)
        loadNote(*entry, m_cache.centralFolder());
    const ThumbnailServices services{m_cache, m_services, m_maker.get(), m_options.cacheFolder};
    if (m_pendingThumbnail && m_pendingThumbnail->position == position) {
        // The list may have been sorted, filtered or rescanned since the last
        // step: only the same file in the same cell goes on.
        PendingThumbnail& pending = *m_pendingThumbnail;
        if (pending.cell == cell && !entry->thumbnail && !entry->isArchiveMember() &&
            entry->fullPath() == pending.path) {
            auto outcome =
                continueCellThumbnail(*entry, cell, services, pending.decode, shouldStop);
            if (outcome)
                m_pendingThumbnail.reset();
            return outcome;
        }
        m_pendingThumbnail.reset();
    }
    std::unique_ptr<ThumbnailDecode> decode;
    auto outcome = beginCellThumbnail(*entry, cell, services, decode, shouldStop);
    if (decode) {
        m_pendingThumbnail = std::make_unique<PendingThumbnail>(
            PendingThumbnail{position, entry->fullPath(), cell, std::move(decode)});
    }
    return outcome;
}

void FolderDocument::dropThumbnailStep() {
    m_pendingThumbnail.reset();
}

int FolderDocument::thumbnailStepPosition() const {
    return m_pendingThumbnail ? m_pendingThumbnail->position : -1;
}

int FolderDocument::extractMember(int position, const std::string& path) {
    const PictureSource* entry = entryAt(position);
    if (entry == nullptr || m_loader == nullptr)
        return static_cast<int>(ResultCode::Failure);
    std::vector<std::byte> bytes;
    const int code = m_loader->extractMember(*entry, bytes);
    if (code != 0)
        return code;
    return writeFileAtomically(path, bytes) ? 0 : static_cast<int>(ResultCode::ReadError);
}

bool FolderDocument::saveThumbnails(ProgressSink* progress) {
    publishCacheFolder();
    const int count = displayedCount();
    if (progress)
        progress->begin("サムネイル情報を保存", "", count);
    bool stopped = false;
    for (int i = 0; i < count; ++i) {
        if (progress && progress->cancelRequested()) {
            stopped = true;
            break;
        }
        PictureSource* entry = entryAt(i);
        if (progress) {
            progress->setMessage(entry->fileName);
            progress->advance();
        }
        if (entry->thumbnail && !entry->cached)
            m_cache.store(*entry, m_services);
    }
    const bool written = m_cache.writeAll();
    if (progress)
        progress->end();
    return written && !stopped;
}

} // namespace vemra
