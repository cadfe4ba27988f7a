#include "plugin_test_support.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <locale.h>

#include <optional>
#include <set>

namespace vemra::test {

std::string shippedPluginPath(const std::string& name) {
    return std::string(VEMRA_PLUGIN_DIR) + "/" + name + ".spi";
}

std::string testPluginPath(const std::string& name) {
    return std::string(VEMRA_TEST_PLUGIN_DIR) + "/" + name + ".spi";
}

namespace {

PluginModule loaded(const std::string& path) {
    std::string error;
    std::optional<PluginModule> module = PluginModule::open(path, &error);
    EXPECT_TRUE(module.has_value()) << path << ": " << error;
    return module ? std::move(*module) : PluginModule(path);
}

} // namespace

PluginModule shippedPlugin(const std::string& name) {
    return loaded(shippedPluginPath(name));
}

PluginModule testPlugin(const std::string& name) {
    return loaded(testPluginPath(name));
}

std::vector<std::byte> noise(std::size_t size, std::uint32_t seed) {
    std::vector<std::byte> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::byte& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::byte>(x >> 24);
    }
    return out;
}

namespace {

// Names are written as they are given: UTF-8, or the Shift-JIS bytes of an
// old Windows archiver. The writer converts them through the thread's
// locale, so it runs under a UTF-8 one (the tests themselves, and so the
// plug-ins, run in the "C" locale).
void setName(archive_entry* e, const std::string& name) {
    archive_entry_set_pathname(e, name.c_str());
}

class Utf8Locale {
public:
    Utf8Locale()
        : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))),
          m_previous(uselocale(m_utf8)) {}
    ~Utf8Locale() {
        uselocale(m_previous);
        freelocale(m_utf8);
    }

private:
    locale_t m_utf8;
    locale_t m_previous;
};

bool fine(int r) {
    return r == ARCHIVE_OK || r == ARCHIVE_WARN;
}

} // namespace

bool writeArchive(const std::string& path, const std::string& format, const std::string& filter,
                  const std::vector<Member>& members, bool utf8Names) {
    std::optional<Utf8Locale> utf8;
    if (utf8Names) {
        utf8.emplace();
    }
    archive* a = archive_write_new();
    int r = ARCHIVE_OK;
    if (format == "zip" || format == "zip-store") {
        r = archive_write_set_format_zip(a);
        if (format == "zip-store") {
            archive_write_zip_set_compression_store(a);
        }
    } else if (format == "7z") {
        r = archive_write_set_format_7zip(a);
    } else if (format == "tar") {
        r = archive_write_set_format_pax_restricted(a);
    } else if (format == "cpio") {
        r = archive_write_set_format_cpio_newc(a);
    } else if (format == "iso") {
        r = archive_write_set_format_iso9660(a);
    } else {
        r = ARCHIVE_FATAL;
    }
    if (r == ARCHIVE_OK && filter == "gzip") {
        r = archive_write_add_filter_gzip(a);
    } else if (r == ARCHIVE_OK && filter == "bzip2") {
        r = archive_write_add_filter_bzip2(a);
    } else if (r == ARCHIVE_OK && filter == "xz") {
        r = archive_write_add_filter_xz(a);
    }
    if (r == ARCHIVE_OK) {
        r = archive_write_open_filename(a, path.c_str());
    }
    std::set<std::string> folders;
    for (const Member& m : members) {
        if (r != ARCHIVE_OK) {
            break;
        }
        for (std::size_t slash = m.name.find('/'); slash != std::string::npos;
             slash = m.name.find('/', slash + 1)) {
            const std::string folder = m.name.substr(0, slash);
            if (!folders.insert(folder).second) {
                continue;
            }
            archive_entry* e = archive_entry_new();
            setName(e, folder);
            archive_entry_set_filetype(e, AE_IFDIR);
            archive_entry_set_size(e, 0);
            archive_entry_set_perm(e, 0755);
            archive_entry_set_mtime(e, m.mtime, 0);
            r = fine(archive_write_header(a, e)) ? ARCHIVE_OK : ARCHIVE_FATAL;
            archive_entry_free(e);
        }
        archive_entry* e = archive_entry_new();
        setName(e, m.name);
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(m.data.size()));
        archive_entry_set_mtime(e, m.mtime, 0);
        if (r == ARCHIVE_OK) {
            r = fine(archive_write_header(a, e)) ? ARCHIVE_OK : ARCHIVE_FATAL;
        }
        archive_entry_free(e);
        if (r == ARCHIVE_OK && !m.data.empty() &&
            archive_write_data(a, m.data.data(), m.data.size()) !=
                static_cast<la_ssize_t>(m.data.size())) {
            r = ARCHIVE_FATAL;
        }
    }
    if (archive_write_close(a) != ARCHIVE_OK) {
        r = ARCHIVE_FATAL;
    }
    if (r != ARCHIVE_OK) {
        ADD_FAILURE() << path << ": " << (archive_error_string(a) ? archive_error_string(a) : "");
    }
    archive_write_free(a);
    return r == ARCHIVE_OK;
}

std::vector<std::byte> fileBytes(const std::string& path) {
    return readFile(path);
}

std::vector<std::byte> headerOf(const std::vector<std::byte>& data) {
    std::vector<std::byte> header(SPI_HEADER_BYTES);
    std::copy_n(data.begin(), std::min(data.size(), header.size()), header.begin());
    return header;
}

} // namespace vemra::test

// x265, which the HEIF tests encode with, keeps a few allocations for the
// life of the process, and the AV1 and HEVC decoders under libheif keep a
// few bytes when a damaged stream breaks off; those are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\nleak:libdav1d.so\nleak:libde265.so\nleak:libaom.so\n";
}

extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
