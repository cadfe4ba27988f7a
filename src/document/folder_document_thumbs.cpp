#include "document/folder_document.h"

#include "document/exif_previews.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/scan_services.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_jobs.h"
#include "document/thumbnail_maker.h"
#include "platform/atomic_file.h"
#include "platform/worker_pool.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace vemra {

void FolderDocument::setPictureLoader(PictureLoader* loader) {
    // The workers use the maker and the loader: they finish first.
    dropThumbnailJobs();
    m_workers.reset();
    m_previews.reset();
    // The viewers' look-ahead decodes through the loader too: with another
    // loader its queued decodes are dropped and the running ones finish
    // before the old loader may go.
    if (loader != m_loader)
        m_pool.reset();
    m_loader = loader;
    if (loader == nullptr) {
        m_maker.reset();
        return;
    }
    m_maker = std::make_unique<ThumbnailMaker>(*loader, m_options.sharpening());
    const int threads =
        m_options.thumbWorkers > 0 ? m_options.thumbWorkers : WorkerPool::coreCount();
    if (!m_pool || m_pool->threadCount() != threads) {
        m_pool = std::make_shared<WorkerPool>(threads);
        for (int i = 0; i < m_decodingHolds; ++i)
            m_pool->hold();
    }
    m_workers = std::make_unique<ThumbnailWorkers>(*m_pool, *m_maker, *loader);
    m_workers->setNotifier(m_thumbnailNotifier);
    m_previews = std::make_unique<ExifPreviews>(*m_pool, loader);
    m_previews->setNotifier(m_thumbnailNotifier);
    m_budget.setLimit(static_cast<std::size_t>(m_options.thumbMemoryMB) << 20);
}

FolderDocument::DecodingHold::DecodingHold(FolderDocument& document) : m_document(document) {
    ++m_document.m_decodingHolds;
    if (m_document.m_pool)
        m_document.m_pool->hold();
}

FolderDocument::DecodingHold::~DecodingHold() {
    --m_document.m_decodingHolds;
    if (m_document.m_pool)
        m_document.m_pool->resume();
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

CellThumbnail FolderDocument::requestThumbnail(int position, const CellGeometry& cell,
                                               bool visible) {
    PictureSource* entry = entryAt(position);
    if (entry == nullptr)
        return {};
    publishCacheFolder();
    if (!entry->noteLoaded)
        loadNote(*entry, m_cache.centralFolder());
    const ThumbnailServices services{m_cache, m_services, nullptr, m_options.cacheFolder};
    CellThumbnail result = prepareCellThumbnail(*entry, cell, false, services);
    if (result.exists) {
        m_budget.touch(*entry);
        return result;
    }
    if (!m_workers)
        return result;
    result.pending = true;
    if (visible)
        requestExifPreview(*entry, position, cell);
    if (m_requested.contains(entry))
        return result;
    const std::uint64_t ticket = m_nextTicket++;
    m_requested.emplace(entry, ticket);
    m_workers->submit(thumbnailRequest(*entry, position, cell, ticket),
                      visible ? m_visiblePass : 0);
    return result;
}

namespace {

// The result still belongs to the entry: the same file, drawn with the same
// options, and no thumbnail came to it another way.
bool stillWanted(const ThumbnailResult& result, const PictureSource& entry,
                 const CellGeometry& cell) {
    const PictureSource& made = result.entry;
    return result.cell == cell && !entry.thumbnail && entry.drawing == made.drawing &&
           entry.rotation == made.rotation && entry.fitMode == made.fitMode &&
           entry.fileName == made.fileName && entry.folder == made.folder &&
           entry.archiveFileName == made.archiveFileName &&
           entry.memberPosition == made.memberPosition;
}

} // namespace

int FolderDocument::applyThumbnailResults(const CellGeometry& cell,
                                          const std::function<void(int)>& applied,
                                          const std::function<bool()>& shouldStop) {
    if (!m_workers)
        return 0;
    int taken = 0;
    while (auto preview = m_previews ? m_previews->take() : std::nullopt) {
        const ExifPreviewRequest& asked = preview->request;
        PictureSource* entry = entryAt(asked.position);
        if (entry == nullptr || entry != asked.identity || entry->thumbnail ||
            entry->fileName != asked.fileName || !preview->picture)
            continue;
        entry->preview = std::move(preview->picture);
        entry->cellPicture = {};
        if (applied)
            applied(asked.position);
    }
    while (auto result = m_workers->take()) {
        ++taken;
        const auto found = m_requested.find(result->identity);
        if (found == m_requested.end() || found->second != result->generation)
            continue; // dropped, or asked again since
        m_requested.erase(found);
        PictureSource* entry = entryAt(result->position);
        if (entry == nullptr || entry != result->identity || !stillWanted(*result, *entry, cell))
            continue;
        // What the making taught the entry, as if it had been made here.
        PictureSource& made = result->entry;
        entry->decoder = made.decoder;
        entry->pictureWidth = made.pictureWidth;
        entry->pictureHeight = made.pictureHeight;
        entry->bitCount = made.bitCount;
        entry->infoText = std::move(made.infoText);
        entry->orientation = made.orientation;
        entry->dateTaken = made.dateTaken;
        entry->cameraModel = std::move(made.cameraModel);
        entry->length = made.length;
        entry->creationTime = made.creationTime;
        entry->lastWriteTime = made.lastWriteTime;
        entry->cellPicture = {};
        entry->cached = false;
        entry->madeNow = result->made;
        if (result->made) {
            entry->thumbnail = std::move(made.thumbnail);
            entry->preview = {};
            entry->scaleModeUsed = made.scaleModeUsed;
            entry->unsharpUsed = made.unsharpUsed;
            entry->autoRotateUsed = made.autoRotateUsed;
            entry->colourMarkUsed = made.colourMarkUsed;
            entry->boxWidth = cell.cellWidth;
            entry->boxHeight = cell.cellHeight;
            publishCacheFolder();
            if (m_options.cacheFolder)
                m_cache.store(*entry, m_services);
            m_budget.touch(*entry);
            if (applied)
                applied(result->position);
        }
        if (shouldStop && shouldStop())
            break;
    }
    return taken;
}

void FolderDocument::forgetThumbnail(int position) {
    PictureSource* entry = entryAt(position);
    if (entry == nullptr)
        return;
    m_requested.erase(entry);
    m_previewAsked.erase(entry);
    m_budget.forget(*entry);
    entry->clear();
    entry->useCacheFirst = false;
    entry->cached = false;
}

void FolderDocument::dropThumbnailRequest(int position) {
    if (PictureSource* entry = entryAt(position))
        m_requested.erase(entry);
}

int FolderDocument::thumbnailJobsOutstanding() const {
    return m_workers ? m_workers->outstanding() : 0;
}

int FolderDocument::thumbnailWorkerCount() const {
    return m_pool ? m_pool->threadCount() : 0;
}

void FolderDocument::setThumbnailNotifier(std::function<void()> notifier) {
    m_thumbnailNotifier = std::move(notifier);
    if (m_workers)
        m_workers->setNotifier(m_thumbnailNotifier);
    if (m_previews)
        m_previews->setNotifier(m_thumbnailNotifier);
}

void FolderDocument::requestExifPreview(PictureSource& entry, int position,
                                        const CellGeometry& cell) {
    if (!m_previews || !m_options.exifThumbnailFirst || entry.preview ||
        !mayCarryExifPreview(entry.fileName) || m_previewAsked.contains(&entry) ||
        (entry.isArchiveMember() && entry.length > kMaxPreviewMemberBytes))
        return;
    m_previewAsked.emplace(&entry, true);
    ExifPreviewRequest request;
    request.position = position;
    request.identity = &entry;
    request.path = entry.fullPath();
    request.fileName = entry.fileName;
    request.boxWidth = cell.areaWidth;
    request.boxHeight = cell.areaHeight;
    request.autoRotate = entry.drawing.autoRotate;
    if (entry.isArchiveMember())
        request.member = entry; // the worker's own copy, unpacked there
    m_previews->submit(std::move(request));
}

bool FolderDocument::waitForThumbnailResults(std::chrono::milliseconds timeout) {
    return m_workers && m_workers->waitForResult(timeout);
}

void FolderDocument::dropThumbnailJobs() {
    if (m_workers)
        m_workers->cancelQueued();
    if (m_previews)
        m_previews->cancelQueued();
    m_previewAsked.clear();
    m_requested.clear();
}

void FolderDocument::noteThumbnailDrawn(int position) {
    if (PictureSource* entry = entryAt(position))
        m_budget.touch(*entry);
}

int FolderDocument::enforceThumbnailBudget(int firstKept, int lastKept) {
    if (m_budget.used() <= m_budget.limit())
        return 0;
    std::unordered_map<const PictureSource*, bool> kept;
    for (int position = std::max(firstKept, 0); position <= lastKept; ++position) {
        if (const PictureSource* entry = entryAt(position))
            kept.emplace(entry, true);
    }
    const bool storing = m_options.cacheFolder || m_options.autoCacheFolder;
    if (storing)
        publishCacheFolder();
    return m_budget.enforce([&](const PictureSource& entry) { return kept.contains(&entry); },
                            [&](PictureSource& entry) {
                                // Kept in the cache, it comes back from there.
                                if (storing && !entry.cached)
                                    m_cache.store(entry, m_services);
                                entry.useCacheFirst = entry.cached;
                                entry.thumbnail = {};
                                entry.cellPicture = {};
                            });
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
