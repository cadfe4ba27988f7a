#include "document/save_workers.h"

#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "platform/worker_pool.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace vemra {

// What the interface thread and the workers share of a batch. The result
// and state of every job are guarded by `mutex`.
struct SaveWorkers::Board {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stopping = false;
};

struct SaveWorkers::Job {
    SaveRequest request; // the worker's alone once submitted
    State state = State::Pending;
    SaveResult result;
    std::atomic<int> reductionDone = 0;
    std::atomic<int> reductionTotal = 0;
    std::atomic<bool> stopReduction = false;
};

namespace {

// Travels with a job's task: when the task is destroyed without having run
// (cancelled, or its pool went), the job counts as dropped, so nobody waits
// for it for ever.
template <typename Job, typename Board, typename State> struct Completion {
    std::shared_ptr<Job> job;
    std::shared_ptr<Board> board;

    Completion(std::shared_ptr<Job> j, std::shared_ptr<Board> b)
        : job(std::move(j)), board(std::move(b)) {}
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    ~Completion() {
        {
            const std::lock_guard lock(board->mutex);
            if (job->state == State::Pending)
                job->state = State::Dropped;
        }
        board->changed.notify_all();
    }
};

} // namespace

SaveRequest saveRequest(const PictureSource& entry, std::string path) {
    SaveRequest request{entry, std::move(path)};
    // Only the file is read again: the pictures would be copied for nothing.
    request.entry.thumbnail = {};
    request.entry.cellPicture = {};
    request.entry.iconPicture = {};
    request.entry.preview = {};
    return request;
}

SaveResult saveRequested(SaveRequest& request, PictureLoader& loader,
                         const ConversionSettings& settings, ProgressCallback progress,
                         intptr_t userData) {
    PictureSource& entry = request.entry;
    // The picture is converted upright: sizes and fitting are the ones the
    // user sees. One metadata read gives the orientation and the profile.
    std::vector<std::byte> embedded;
    learnPhotoFacts(entry, &loader, embedded);
    const PictureSize stored{entry.pictureWidth, entry.pictureHeight};
    const PictureSize full = uprightPictureSize(entry);
    const ReducedDecode decode = [&](int reduction, PictureBuffer& out) {
        // A box of 0 x 0 asks for the full size; a smaller box lets the
        // decoder reduce.
        const int width = reduction > 1 ? (stored.width + reduction - 1) / reduction : 0;
        const int height = reduction > 1 ? (stored.height + reduction - 1) / reduction : 0;
        const int code = loader.loadForThumbnail(entry, width, height, out);
        if (code == 0)
            out = orientedForEntry(std::move(out), entry);
        return code;
    };
    const PictureBuffer picture = convertPicture(full, decode, settings);
    SaveResult result;
    if (!picture)
        return result;
    result.decoded = true;
    result.written = writeConverted(request.path, picture, settings.options,
                                    {embedded, settings.manageColours}, progress, userData);
    return result;
}

SaveWorkers::SaveWorkers(std::shared_ptr<WorkerPool> pool, PictureLoader& loader,
                         ConversionSettings settings)
    : m_pool(pool ? std::move(pool) : std::make_shared<WorkerPool>()), m_loader(loader),
      m_settings(std::move(settings)), m_board(std::make_shared<Board>()) {}

SaveWorkers::~SaveWorkers() {
    stopAll();
}

int SaveWorkers::threadCount() const {
    return m_pool->threadCount();
}

std::size_t SaveWorkers::submit(SaveRequest request) {
    auto job = std::make_shared<Job>();
    job->request = std::move(request);
    m_jobs.push_back(job);
    using Done = Completion<Job, Board, State>;
    auto completion = std::make_shared<Done>(job, m_board);
    // Above the thumbnails, which wait behind the progress window anyway,
    // and below the viewer's next picture.
    constexpr int kPriority = 1 << 29;
    m_pool->submit(tag(), kPriority, [this, completion] {
        Job& j = *completion->job;
        const ProgressCallback progress = [](int done, int total, intptr_t user) -> int {
            auto* c = reinterpret_cast<Done*>(user);
            c->job->reductionTotal = total;
            c->job->reductionDone = done;
            return c->job->stopReduction || c->board->stopping ? 1 : 0;
        };
        SaveResult result;
        {
            // The decoders' plug-in list stays as it is while this one decodes.
            const auto use = m_loader.workerUse();
            result = saveRequested(j.request, m_loader, m_settings, progress,
                                   reinterpret_cast<intptr_t>(completion.get()));
        }
        {
            const std::lock_guard lock(completion->board->mutex);
            j.result = result;
            j.state = State::Done;
        }
        completion->board->changed.notify_all();
    });
    return m_jobs.size() - 1;
}

SaveWorkers::State SaveWorkers::wait(std::size_t ticket, std::chrono::milliseconds timeout) {
    const Job& job = *m_jobs.at(ticket);
    std::unique_lock lock(m_board->mutex);
    m_board->changed.wait_for(lock, timeout, [&] { return job.state != State::Pending; });
    return job.state;
}

SaveResult SaveWorkers::result(std::size_t ticket) const {
    const std::lock_guard lock(m_board->mutex);
    return m_jobs.at(ticket)->result;
}

SaveWorkers::Reduction SaveWorkers::reduction(std::size_t ticket) const {
    const Job& job = *m_jobs.at(ticket);
    return {job.reductionDone, job.reductionTotal};
}

void SaveWorkers::stopReduction(std::size_t ticket) {
    m_jobs.at(ticket)->stopReduction = true;
}

void SaveWorkers::stop() {
    m_board->stopping = true;
    m_pool->cancel(tag());
}

bool SaveWorkers::waitStopped(std::chrono::milliseconds timeout) {
    if (m_pool->pending(tag()) == 0)
        return true;
    {
        // Woken when a job is done; the pool counts it as ended just after.
        std::unique_lock lock(m_board->mutex);
        m_board->changed.wait_for(lock, timeout);
    }
    return m_pool->pending(tag()) == 0;
}

void SaveWorkers::stopAll() {
    stop();
    m_pool->waitIdle(tag());
}

} // namespace vemra
