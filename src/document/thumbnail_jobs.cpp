#include "document/thumbnail_jobs.h"

#include "document/cell_thumbnail.h"
#include "document/picture_loader.h"
#include "document/thumbnail_maker.h"
#include "platform/worker_pool.h"

namespace vemra {

ThumbnailRequest thumbnailRequest(const PictureSource& entry, int position,
                                  const CellGeometry& cell, std::uint64_t generation) {
    ThumbnailRequest request;
    request.position = position;
    request.identity = &entry;
    request.generation = generation;
    request.cell = cell;
    request.entry = entry;
    // The worker makes a new thumbnail and never draws: the pictures would
    // only be copied for nothing.
    request.entry.thumbnail = {};
    request.entry.cellPicture = {};
    request.entry.iconPicture = {};
    request.entry.preview = {};
    return request;
}

ThumbnailResult makeRequestedThumbnail(ThumbnailRequest request, ThumbnailMaker& maker) {
    ThumbnailResult result;
    static_cast<ThumbnailRequest&>(result) = std::move(request);
    PictureSource& entry = result.entry;
    result.made = maker.make(entry, result.cell.areaWidth, result.cell.areaHeight);
    refreshFromFileSystem(entry);
    return result;
}

ThumbnailWorkers::ThumbnailWorkers(WorkerPool& pool, ThumbnailMaker& maker, PictureLoader& loader)
    : m_pool(pool), m_maker(maker), m_loader(loader) {}

ThumbnailWorkers::~ThumbnailWorkers() {
    m_pool.cancel(tag());
    m_pool.waitIdle(tag());
}

void ThumbnailWorkers::submit(ThumbnailRequest request, int priority) {
    {
        const std::lock_guard lock(m_mutex);
        ++m_outstanding;
    }
    m_pool.submit(tag(), priority, [this, request = std::move(request)]() mutable {
        // The decoders' plug-in list stays as it is while this one decodes.
        const auto use = m_loader.workerUse();
        deliver(makeRequestedThumbnail(std::move(request), m_maker));
    });
}

void ThumbnailWorkers::deliver(ThumbnailResult result) {
    const std::lock_guard lock(m_mutex);
    m_results.push_back(std::move(result));
    if (m_results.size() == 1 && m_notifier)
        m_notifier();
    m_arrived.notify_all();
}

std::optional<ThumbnailResult> ThumbnailWorkers::take() {
    const std::lock_guard lock(m_mutex);
    if (m_results.empty())
        return std::nullopt;
    ThumbnailResult result = std::move(m_results.front());
    m_results.pop_front();
    --m_outstanding;
    return result;
}

int ThumbnailWorkers::outstanding() const {
    const std::lock_guard lock(m_mutex);
    return m_outstanding;
}

void ThumbnailWorkers::cancelQueued() {
    const int dropped = m_pool.cancel(tag());
    const std::lock_guard lock(m_mutex);
    m_outstanding -= dropped;
}

void ThumbnailWorkers::setNotifier(std::function<void()> notifier) {
    const std::lock_guard lock(m_mutex);
    m_notifier = std::move(notifier);
}

bool ThumbnailWorkers::waitForResult(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [this] { return !m_results.empty(); });
}

} // namespace vemra
