#include "sample_zip.h"

#include "platform/atomic_file.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <set>

namespace vemra::samples {
namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFreer {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

bool writeEntry(archive* zip, const std::string& name, const std::vector<std::byte>* data,
                std::int64_t time) {
    const std::unique_ptr<archive_entry, EntryFreer> entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), name.c_str());
    archive_entry_set_mtime(entry.get(), static_cast<time_t>(time), 0);
    if (data == nullptr) {
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        archive_entry_set_perm(entry.get(), 0755);
    } else {
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(data->size()));
    }
    if (archive_write_header(zip, entry.get()) != ARCHIVE_OK)
        return false;
    return data == nullptr || data->empty() ||
           archive_write_data(zip, data->data(), data->size()) ==
               static_cast<la_ssize_t>(data->size());
}

} // namespace

bool writeZip(const std::string& path, const std::vector<ZipMember>& members, std::int64_t time) {
    const std::unique_ptr<archive, ArchiveCloser> zip(archive_write_new());
    // Written to memory first, so that a failure leaves no partial file.
    std::vector<std::byte> bytes(1 << 20);
    std::size_t used = 0;
    if (archive_write_set_format_zip(zip.get()) != ARCHIVE_OK ||
        archive_write_set_options(zip.get(), "zip:compression=deflate") != ARCHIVE_OK ||
        archive_write_open_memory(zip.get(), bytes.data(), bytes.size(), &used) != ARCHIVE_OK)
        return false;
    std::set<std::string> folders;
    for (const ZipMember& member : members) {
        for (std::size_t slash = member.name.find('/'); slash != std::string::npos;
             slash = member.name.find('/', slash + 1)) {
            const std::string folder = member.name.substr(0, slash + 1);
            if (folders.insert(folder).second && !writeEntry(zip.get(), folder, nullptr, time))
                return false;
        }
        if (!writeEntry(zip.get(), member.name, &member.data, time))
            return false;
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK)
        return false;
    bytes.resize(used);
    return writeFileAtomically(path, bytes);
}

} // namespace vemra::samples
