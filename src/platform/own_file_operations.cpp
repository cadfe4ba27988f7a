#include "platform/own_file_operations.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace vemra {
namespace {

struct Listeners {
    std::mutex lock;
    int nextId = 1;
    std::vector<std::pair<int, std::function<void()>>> list;
};

Listeners& listeners() {
    static Listeners instance;
    return instance;
}

std::atomic<int> g_open{0};

} // namespace

OwnFileOperation::OwnFileOperation() {
    g_open.fetch_add(1);
}

OwnFileOperation::~OwnFileOperation() {
    if (g_open.fetch_sub(1) != 1) {
        return;
    }
    // Called outside the lock: a listener may add or remove listeners.
    std::vector<std::function<void()>> toCall;
    {
        Listeners& l = listeners();
        const std::lock_guard guard(l.lock);
        for (const auto& [id, listener] : l.list) {
            toCall.push_back(listener);
        }
    }
    for (const auto& listener : toCall) {
        listener();
    }
}

bool OwnFileOperation::running() {
    return g_open.load() > 0;
}

int OwnFileOperation::addEndListener(std::function<void()> listener) {
    Listeners& l = listeners();
    const std::lock_guard guard(l.lock);
    const int id = l.nextId++;
    l.list.emplace_back(id, std::move(listener));
    return id;
}

void OwnFileOperation::removeEndListener(int id) {
    Listeners& l = listeners();
    const std::lock_guard guard(l.lock);
    std::erase_if(l.list, [id](const auto& entry) { return entry.first == id; });
}

} // namespace vemra
