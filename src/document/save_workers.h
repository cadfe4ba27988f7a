#pragma once

#include "document/picture_conversion.h"
#include "document/picture_source.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vemra {

class PictureLoader;
class WorkerPool;

// One picture of "画像形式を指定して保存" as values: a copy of its entry
// without pictures (what decoding reads and teaches) and the file to write.
// A worker never sees the entry itself.
struct SaveRequest {
    PictureSource entry;
    std::string path;
};

// The request for `entry`: a copy without its pictures.
SaveRequest saveRequest(const PictureSource& entry, std::string path);

struct SaveResult {
    bool decoded = false; // false: the picture could not be decoded
    bool written = false;
};

// Decodes, converts and writes one requested picture: upright as the
// entry's photograph facts say, with the colours of its file's embedded
// profile. Any thread; `progress` reports the colour reduction.
SaveResult saveRequested(SaveRequest& request, PictureLoader& loader,
                         const ConversionSettings& settings, ProgressCallback progress = nullptr,
                         intptr_t userData = 0);

// Saves requests on a worker pool and hands their results back by ticket.
// The pool and the loader are those of the document; the pool is kept as
// long as this object lives. The destructor drops the requests no worker
// has begun and waits for the running ones.
class SaveWorkers {
public:
    enum class State { Pending, Done, Dropped };
    // The colour reduction of one picture as it goes: `total` 0 when none
    // runs (yet).
    struct Reduction {
        int done = 0;
        int total = 0;
    };

    SaveWorkers(std::shared_ptr<WorkerPool> pool, PictureLoader& loader,
                ConversionSettings settings);
    ~SaveWorkers();
    SaveWorkers(const SaveWorkers&) = delete;
    SaveWorkers& operator=(const SaveWorkers&) = delete;

    int threadCount() const;
    // Hands a request to the workers; the ticket its result is asked by.
    std::size_t submit(SaveRequest request);
    // Waits up to `timeout` for the request of `ticket` to be done. Dropped:
    // it never ran (the pool went, or cancelQueued()).
    State wait(std::size_t ticket, std::chrono::milliseconds timeout);
    SaveResult result(std::size_t ticket) const;
    Reduction reduction(std::size_t ticket) const;
    // The colour reduction of `ticket` stops; the picture is not written.
    void stopReduction(std::size_t ticket);
    // Drops the requests no worker has begun and stops every colour
    // reduction; the running ones go on to their end.
    void stop();
    // Waits up to `timeout` until no request runs; true when none does.
    bool waitStopped(std::chrono::milliseconds timeout);
    // stop(), then waits until no request runs.
    void stopAll();

private:
    struct Job;
    struct Board;
    std::uintptr_t tag() const { return reinterpret_cast<std::uintptr_t>(this); }

    std::shared_ptr<WorkerPool> m_pool;
    PictureLoader& m_loader;
    const ConversionSettings m_settings;
    std::shared_ptr<Board> m_board;
    std::vector<std::shared_ptr<Job>> m_jobs;
};

} // namespace vemra
