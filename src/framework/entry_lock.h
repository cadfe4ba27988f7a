#pragma once

#include <mutex>

namespace vemra {

// The lock around the document's entry list and display order. It is
// re-entrant: the owner may take it again (clearing saves thumbnails under
// it, and saving hands out entries, which takes it too). It satisfies
// Lockable, so std::lock_guard and std::unique_lock work with it.
//
// It must not be held while views are told of a change: a view answering a
// hint asks for entries, and a view on another thread would wait forever.
class EntryLock {
public:
    void lock() { m_mutex.lock(); }
    bool try_lock() { return m_mutex.try_lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

} // namespace vemra
