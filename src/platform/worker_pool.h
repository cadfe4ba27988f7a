#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vemra {

// A fixed set of worker threads running tasks by priority: the highest
// priority first, tasks of equal priority in the order they came. Tasks are
// value work: they must not touch anything only the interface thread may
// touch, and report back through channels of their own.
//
// Tasks carry a tag; cancel(tag) removes the queued tasks of that tag (the
// running ones finish), and waitIdle(tag) waits until none of the tag is
// queued or running. The destructor cancels everything queued and joins.
class WorkerPool {
public:
    using Task = std::function<void()>;

    // `threads` below 1 means one thread per core.
    explicit WorkerPool(int threads = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threadCount() const { return static_cast<int>(m_threads.size()); }
    static int coreCount();

    void submit(std::uintptr_t tag, int priority, Task task);
    // Removes the queued tasks of `tag`; returns how many were removed.
    int cancel(std::uintptr_t tag);
    // Waits until no task of `tag` is queued or running.
    void waitIdle(std::uintptr_t tag);
    // Queued and running tasks of `tag`.
    int pending(std::uintptr_t tag) const;

    // Holds every queued task where it is and waits until no task runs, so
    // that what the tasks read may change; resume() lets them go on. Holds
    // nest: the tasks go on when the last is released. A task must not call
    // hold() itself.
    void hold();
    void resume();
    bool held() const;

private:
    struct Queued {
        std::uintptr_t tag = 0;
        int priority = 0;
        std::uint64_t order = 0;
        Task task;
    };

    void run();
    int countLocked(std::uintptr_t tag) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<Queued> m_queue; // a heap on (priority, order)
    std::vector<std::uintptr_t> m_running;
    std::uint64_t m_next = 0;
    bool m_stopping = false;
    int m_holds = 0;
    std::vector<std::jthread> m_threads;
};

} // namespace vemra
