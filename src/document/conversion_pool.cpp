#include "document/conversion_pool.h"

#include "imaging/embedded_profile.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vemra {
namespace {

ConversionJobResult convertOne(const ConversionJob& job, const ConversionSettings& settings) {
    ConversionJobResult result;
    PictureBuffer picture = convertPicture(job.full, job.decode, settings, &result.decodeCode);
    if (result.decodeCode == 0 && !picture)
        result.decodeCode = -1;
    if (picture) {
        const std::vector<std::byte> embedded = job.profileSource.empty()
                                                    ? std::vector<std::byte>{}
                                                    : embeddedColourProfile(job.profileSource);
        result.written = writeConverted(job.target, picture, settings.options,
                                        {embedded, settings.manageColours});
    }
    return result;
}

// The shared state of one batch: the next job to take, what is done, and
// whether the caller asked to stop.
struct Batch {
    std::mutex lock;
    std::condition_variable doneChanged;
    std::vector<ConversionJobResult> results;
    std::vector<char> done;
    std::size_t next = 0;
    bool stop = false;
};

} // namespace

int defaultConversionThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

std::vector<ConversionJobResult>
runConversions(std::vector<ConversionJob> jobs, const ConversionSettings& settings, int threads,
               const std::function<bool(std::size_t, const ConversionJobResult&)>& report) {
    Batch batch;
    batch.results.resize(jobs.size());
    batch.done.assign(jobs.size(), 0);
    threads = std::clamp(threads, 1, static_cast<int>(std::max<std::size_t>(1, jobs.size())));

    if (threads == 1) {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            batch.results[i] = convertOne(jobs[i], settings);
            if (report && report(i, batch.results[i]))
                break;
        }
        return std::move(batch.results);
    }

    auto work = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard guard(batch.lock);
                if (batch.stop || batch.next >= jobs.size())
                    return;
                index = batch.next++;
            }
            ConversionJobResult result = convertOne(jobs[index], settings);
            {
                std::lock_guard guard(batch.lock);
                batch.results[index] = result;
                batch.done[index] = 1;
            }
            batch.doneChanged.notify_one();
        }
    };
    {
        std::vector<std::jthread> pool;
        pool.reserve(static_cast<std::size_t>(threads));
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(work);

        // Reports go out in job order, from this thread only.
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            ConversionJobResult result;
            {
                std::unique_lock guard(batch.lock);
                batch.doneChanged.wait(guard, [&] { return batch.done[i] != 0 || batch.stop; });
                if (batch.done[i] == 0)
                    break;
                result = batch.results[i];
            }
            if (report && report(i, result)) {
                std::lock_guard guard(batch.lock);
                batch.stop = true;
                break;
            }
        }
    } // the threads are joined here
    return std::move(batch.results);
}

} // namespace vemra
