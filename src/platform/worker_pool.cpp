#include "platform/worker_pool.h"

#include <algorithm>

namespace vemra {
namespace {

// Heap order: the top is the highest priority, then the earliest.
bool later(const auto& a, const auto& b) {
    if (a.priority != b.priority)
        return a.priority < b.priority;
    return a.order > b.order;
}

} // namespace

int WorkerPool::coreCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

WorkerPool::WorkerPool(int threads) {
    const int count = threads < 1 ? coreCount() : threads;
    m_threads.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_threads.clear(); // joins
}

void WorkerPool::submit(std::uintptr_t tag, int priority, Task task) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_queue.push_back({tag, priority, m_next++, std::move(task)});
        std::push_heap(m_queue.begin(), m_queue.end(), later<Queued, Queued>);
    }
    m_wake.notify_one();
}

int WorkerPool::cancel(std::uintptr_t tag) {
    std::vector<Queued> removed; // destroyed outside the lock
    {
        const std::lock_guard lock(m_mutex);
        const auto kept = std::partition(m_queue.begin(), m_queue.end(),
                                         [tag](const Queued& q) { return q.tag != tag; });
        std::move(kept, m_queue.end(), std::back_inserter(removed));
        m_queue.erase(kept, m_queue.end());
        std::make_heap(m_queue.begin(), m_queue.end(), later<Queued, Queued>);
    }
    m_done.notify_all();
    return static_cast<int>(removed.size());
}

int WorkerPool::countLocked(std::uintptr_t tag) const {
    const auto queued = std::count_if(m_queue.begin(), m_queue.end(),
                                      [tag](const Queued& q) { return q.tag == tag; });
    return static_cast<int>(queued + std::count(m_running.begin(), m_running.end(), tag));
}

int WorkerPool::pending(std::uintptr_t tag) const {
    const std::lock_guard lock(m_mutex);
    return countLocked(tag);
}

void WorkerPool::waitIdle(std::uintptr_t tag) {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return countLocked(tag) == 0; });
}

void WorkerPool::hold() {
    std::unique_lock lock(m_mutex);
    ++m_holds;
    m_done.wait(lock, [this] { return m_running.empty(); });
}

void WorkerPool::resume() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_holds > 0)
            --m_holds;
    }
    m_wake.notify_all();
}

bool WorkerPool::held() const {
    const std::lock_guard lock(m_mutex);
    return m_holds > 0;
}

void WorkerPool::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [&] { return m_stopping || (!m_queue.empty() && m_holds == 0); });
        if (m_stopping)
            return;
        std::pop_heap(m_queue.begin(), m_queue.end(), later<Queued, Queued>);
        Queued job = std::move(m_queue.back());
        m_queue.pop_back();
        m_running.push_back(job.tag);
        lock.unlock();
        job.task();
        job.task = nullptr; // what it captured goes before it counts as done
        lock.lock();
        m_running.erase(std::find(m_running.begin(), m_running.end(), job.tag));
        m_done.notify_all();
    }
}

} // namespace vemra
