#pragma once

#include "document/cell_geometry.h"
#include "document/picture_source.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace vemra {

class PictureLoader;
class ThumbnailMaker;
class WorkerPool;

// One entry's thumbnail to make, as values: a worker never sees the entry
// itself. `entry` is a copy of it without pictures (what decoding reads and
// what it teaches); `identity` is the entry's address, compared when the
// result comes back and never followed; `generation` is the document's
// thumbnail generation when the request was handed out.
struct ThumbnailRequest {
    int position = -1;
    const void* identity = nullptr;
    std::uint64_t generation = 0;
    CellGeometry cell;
    PictureSource entry;
};

// What came of a request: the request's copy after the making, with the
// decoder, size, bit count and info text learnt, the length and times read
// again, and the thumbnail when `made`.
struct ThumbnailResult : ThumbnailRequest {
    bool made = false;
};

// The request for `entry` at `position`: a copy without its pictures.
ThumbnailRequest thumbnailRequest(const PictureSource& entry, int position,
                                  const CellGeometry& cell, std::uint64_t generation);

// Makes the thumbnail of a request exactly as the entry itself would be
// made on the interface thread (ThumbnailMaker::make for the cell's picture
// area), then reads the file's length and times again. Any thread.
ThumbnailResult makeRequestedThumbnail(ThumbnailRequest request, ThumbnailMaker& maker);

// Hands thumbnail requests to a worker pool and collects the results for
// the interface thread, which takes them in idle time. The maker and the
// loader must outlive this object; the destructor drops the queued requests
// and waits for the running ones.
class ThumbnailWorkers {
public:
    ThumbnailWorkers(WorkerPool& pool, ThumbnailMaker& maker, PictureLoader& loader);
    ~ThumbnailWorkers();
    ThumbnailWorkers(const ThumbnailWorkers&) = delete;
    ThumbnailWorkers& operator=(const ThumbnailWorkers&) = delete;

    // Higher priorities are made first, equal ones in the order submitted.
    void submit(ThumbnailRequest request, int priority);
    // The next finished result, if any.
    std::optional<ThumbnailResult> take();
    // Requests submitted whose results have not been taken (nor cancelled).
    int outstanding() const;
    // Drops the requests no worker has begun.
    void cancelQueued();
    // Called on a worker thread whenever a result arrives while none was
    // waiting to be taken; it must only wake the interface thread. Set and
    // cleared on the interface thread.
    void setNotifier(std::function<void()> notifier);
    // Waits up to `timeout` for a result to take; true when one is there.
    bool waitForResult(std::chrono::milliseconds timeout);
    WorkerPool& pool() { return m_pool; }

private:
    void deliver(ThumbnailResult result);
    std::uintptr_t tag() const { return reinterpret_cast<std::uintptr_t>(this); }

    WorkerPool& m_pool;
    ThumbnailMaker& m_maker;
    PictureLoader& m_loader;
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<ThumbnailResult> m_results;
    std::function<void()> m_notifier;
    int m_outstanding = 0;
};

} // namespace vemra
