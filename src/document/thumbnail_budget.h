#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <unordered_map>

namespace vemra {

class PictureSource;

// Keeps the memory of the thumbnails that entries hold within a limit:
// entries are known in the order their thumbnails were last drawn, and past
// the limit the least recently drawn lose theirs. It never follows an entry
// it was told to forget; whoever destroys entries tells it first.
class ThumbnailBudget {
public:
    static constexpr std::size_t kDefaultBytes = std::size_t{256} << 20;

    void setLimit(std::size_t bytes) { m_limit = bytes; }
    std::size_t limit() const { return m_limit; }
    // The bytes held by the entries known, as measured when last seen.
    std::size_t used() const { return m_used; }
    std::size_t count() const { return m_order.size(); }

    // The entry's thumbnail was drawn or has just arrived: it becomes the
    // most recent, with its size measured again.
    void touch(PictureSource& entry);
    void forget(const PictureSource& entry);
    void clear();

    // Drops thumbnails, least recently drawn first, until the bytes held are
    // within the limit, passing over the entries `keep` names. Each entry
    // goes through `drop` (which must leave it without pictures). Returns
    // how many were dropped.
    int enforce(const std::function<bool(const PictureSource&)>& keep,
                const std::function<void(PictureSource&)>& drop);

private:
    struct Held {
        PictureSource* entry = nullptr;
        std::size_t bytes = 0;
    };

    std::list<Held> m_order; // most recently drawn first
    std::unordered_map<const PictureSource*, std::list<Held>::iterator> m_where;
    std::size_t m_used = 0;
    std::size_t m_limit = kDefaultBytes;
};

// The bytes of the pictures an entry holds for drawing.
std::size_t thumbnailBytes(const PictureSource& entry);

} // namespace vemra
