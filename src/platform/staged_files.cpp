#include "platform/staged_files.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vemra {

StagedFiles::~StagedFiles() {
    discard();
}

std::string StagedFiles::stage(std::string_view target) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.part", static_cast<int>(::getpid()),
                  counter.fetch_add(1));
    Entry entry{std::string(target), std::string(target) + suffix};
    m_entries.push_back(entry);
    return entry.staged;
}

bool StagedFiles::commit() {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (::access(e.staged.c_str(), F_OK) != 0)
            continue; // staged but never written (a picture that gave nothing)
        if (std::rename(e.staged.c_str(), e.target.c_str()) != 0) {
            m_error = std::strerror(errno);
            m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<long>(i));
            discard();
            return false;
        }
    }
    m_entries.clear();
    return true;
}

void StagedFiles::discard() noexcept {
    for (const Entry& e : m_entries)
        ::unlink(e.staged.c_str());
    m_entries.clear();
}

std::vector<std::string> StagedFiles::targets() const {
    std::vector<std::string> out;
    out.reserve(m_entries.size());
    for (const Entry& e : m_entries)
        out.push_back(e.target);
    return out;
}

} // namespace vemra
