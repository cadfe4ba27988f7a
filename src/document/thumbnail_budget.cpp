#include "document/thumbnail_budget.h"

#include "document/picture_source.h"

namespace vemra {

std::size_t thumbnailBytes(const PictureSource& entry) {
    return entry.thumbnail.blockSize() + entry.cellPicture.blockSize();
}

void ThumbnailBudget::touch(PictureSource& entry) {
    const std::size_t bytes = thumbnailBytes(entry);
    const auto found = m_where.find(&entry);
    if (found != m_where.end()) {
        m_used -= found->second->bytes;
        m_order.erase(found->second);
        m_where.erase(found);
    }
    if (bytes == 0)
        return;
    m_order.push_front({&entry, bytes});
    m_where.emplace(&entry, m_order.begin());
    m_used += bytes;
}

void ThumbnailBudget::forget(const PictureSource& entry) {
    const auto found = m_where.find(&entry);
    if (found == m_where.end())
        return;
    m_used -= found->second->bytes;
    m_order.erase(found->second);
    m_where.erase(found);
}

void ThumbnailBudget::clear() {
    m_order.clear();
    m_where.clear();
    m_used = 0;
}

int ThumbnailBudget::enforce(const std::function<bool(const PictureSource&)>& keep,
                             const std::function<void(PictureSource&)>& drop) {
    int dropped = 0;
    auto it = m_order.end();
    // Each entry is visited at most once, from the least recent up.
    while (m_used > m_limit && it != m_order.begin()) {
        --it;
        PictureSource& entry = *it->entry;
        if (keep(entry))
            continue;
        drop(entry);
        m_used -= it->bytes;
        m_where.erase(&entry);
        it = m_order.erase(it);
        ++dropped;
    }
    return dropped;
}

} // namespace vemra
