// Plug-ins in their host process against plug-ins in the program: decoding a
// 12-megapixel WebP and a 12-megapixel HEIF through their plug-ins,
// identifying 2,000 files and 2,000 archives through the plug-ins, and
// identifying the 5,000 members of one zip as the folder scan does. Wall
// time (best of the runs) and processor time (this process and its hosts,
// per run).
//   plugin-host-bench PLUGIN_DIR [HOST]

#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"

#include <archive.h>
#include <archive_entry.h>
#include <libheif/heif.h>
#include <sys/resource.h>
#include <webp/encode.h>

#include <QGuiApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vemra;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::vector<std::uint8_t> photoLike(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    std::uint32_t noise = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            const double wave = std::sin(x * 0.01) * std::cos(y * 0.013);
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(
                std::clamp(static_cast<int>(120 + 100 * wave) + grain, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(x * 255 / width + grain, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(y * 255 / height + grain, 0, 255));
        }
    }
    return rgb;
}

void writeFile(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<std::uint8_t> webpBytes(int width, int height) {
    const auto rgb = photoLike(width, height);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeRGB(rgb.data(), width, height, width * 3, 90, &out);
    std::vector<std::uint8_t> bytes(out, out + size);
    WebPFree(out);
    return bytes;
}

// A zip (members stored, as photo archives mostly are) of `count` small
// WebP pictures.
bool writeZip(const fs::path& path, int count) {
    const std::vector<std::uint8_t> picture = webpBytes(16, 16);
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_zip_set_compression_store(a);
    bool ok = archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    for (int i = 0; i < count && ok; ++i) {
        archive_entry* e = archive_entry_new();
        const std::string name = "pictures/p" + std::to_string(i) + ".webp";
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(picture.size()));
        ok = archive_write_header(a, e) == ARCHIVE_OK &&
             archive_write_data(a, picture.data(), picture.size()) ==
                 static_cast<la_ssize_t>(picture.size());
        archive_entry_free(e);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

bool writeWebp(const fs::path& path, int width, int height) {
    const auto rgb = photoLike(width, height);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeRGB(rgb.data(), width, height, width * 3, 90, &out);
    if (size == 0) {
        return false;
    }
    writeFile(path, out, size);
    WebPFree(out);
    return true;
}

heif_error writeBytes(heif_context*, const void* data, size_t size, void* target) {
    auto* out = static_cast<std::vector<char>*>(target);
    out->insert(out->end(), static_cast<const char*>(data), static_cast<const char*>(data) + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

bool writeHeif(const fs::path& path, int width, int height) {
    const auto rgb = photoLike(width, height);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    std::vector<char> bytes;
    bool ok = false;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code ==
            heif_error_Ok &&
        heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image)
                .code == heif_error_Ok &&
        heif_image_add_plane(image, heif_channel_interleaved, width, height, 8).code ==
            heif_error_Ok) {
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < height; ++y) {
            std::memcpy(plane + static_cast<std::ptrdiff_t>(y) * stride,
                        &rgb[static_cast<std::size_t>(y) * width * 3],
                        static_cast<std::size_t>(width) * 3);
        }
        heif_encoder_set_lossy_quality(encoder, 85);
        heif_writer writer{1, writeBytes};
        ok = heif_context_encode_image(context, image, encoder, nullptr, nullptr).code ==
                 heif_error_Ok &&
             heif_context_write(context, &writer, &bytes).code == heif_error_Ok;
    }
    if (image != nullptr) {
        heif_image_release(image);
    }
    if (encoder != nullptr) {
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    if (ok) {
        writeFile(path, bytes.data(), bytes.size());
    }
    return ok;
}

double processorSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Figures {
    double bestWall = 1e9; // seconds
    double cpuPerRun = 0;
};

// Runs `work` `runs` times on a fresh registry (after one warm-up run), in a
// host or in the program; the hosts are ended before the processor time is
// read, so theirs is counted.
Figures measure(const fs::path& plugins, const std::string& hostProgram, bool inHost, int runs,
                const std::function<void(DecoderRegistry&)>& work) {
    Figures f;
    const fs::path ini = fs::temp_directory_path() / "plugin-host-bench.ini";
    fs::remove(ini);
    const double cpuBefore = processorSeconds();
    {
        SettingsStore store(ini.string());
        store.putInt("SPI", "OutOfProcess", inHost ? 1 : 0);
        DecoderRegistry registry(store);
        registry.setWriteBack(false);
        PluginHostOptions options;
        options.program = hostProgram;
        registry.setHostOptions(options);
        registry.scan(plugins.string(), "");
        if (registry.pluginsInHost() != inHost) {
            std::fprintf(stderr, "plugin-host-bench: the host could not be started\n");
            std::exit(1);
        }
        work(registry);
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            work(registry);
            f.bestWall =
                std::min(f.bestWall, std::chrono::duration<double>(Clock::now() - start).count());
        }
    }
    f.cpuPerRun = (processorSeconds() - cpuBefore) / (runs + 1);
    return f;
}

void row(const char* what, const Figures& host, const Figures& own) {
    std::printf("%-34s %9.1f ms %9.1f ms %6.2fx   cpu %8.1f ms %8.1f ms %6.2fx\n", what,
                host.bestWall * 1000, own.bestWall * 1000, host.bestWall / own.bestWall,
                host.cpuPerRun * 1000, own.cpuPerRun * 1000, host.cpuPerRun / own.cpuPerRun);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: plugin-host-bench PLUGIN_DIR [HOST]\n");
        return 2;
    }
    // Rows appear as they are measured, also into a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // BENCH_ARCHIVES_ONLY=1 measures the archive rows alone.
    const bool archivesOnly = std::getenv("BENCH_ARCHIVES_ONLY") != nullptr;
    QGuiApplication app(argc, argv);
    const fs::path plugins = argv[1];
    const std::string hostProgram = argc > 2 ? argv[2] : findPluginHost();
    const fs::path data = fs::temp_directory_path() / "vemra-plugin-host-bench";
    fs::create_directories(data / "many");
    const fs::path webp = data / "photo.webp";
    const fs::path heif = data / "photo.heic";
    if (!fs::exists(webp) && !writeWebp(webp, kWidth, kHeight)) {
        std::fprintf(stderr, "plugin-host-bench: cannot write %s\n", webp.c_str());
        return 1;
    }
    const bool haveHeif = fs::exists(heif) || writeHeif(heif, kWidth, kHeight);
    std::vector<std::string> many;
    for (int i = 0; i < 2000; ++i) {
        const fs::path path = data / "many" / ("p" + std::to_string(i) + ".webp");
        if (!fs::exists(path)) {
            writeWebp(path, 16, 16);
        }
        many.push_back(path.string());
    }
    std::printf("%-34s %12s %12s %7s   %11s %11s %7s\n", "", "host", "in process", "ratio", "host",
                "in process", "ratio");
    const auto decode = [](const fs::path& file) {
        return [file](DecoderRegistry& r) {
            const DecoderId id =
                r.find(file.extension() == ".webp" ? "webp" : "heif", DecoderKind::Picture);
            PictureBuffer out;
            if (r.picture(id, PluginSource::file(file.string()), out) != 0 ||
                out.width() != kWidth) {
                std::fprintf(stderr, "plugin-host-bench: %s did not decode\n", file.c_str());
                std::exit(1);
            }
        };
    };
    constexpr int kRuns = 5;
    if (!archivesOnly) {
        row("12 MP WebP, GetPicture", measure(plugins, hostProgram, true, kRuns, decode(webp)),
            measure(plugins, hostProgram, false, kRuns, decode(webp)));
        if (haveHeif) {
            row("12 MP HEIF, GetPicture", measure(plugins, hostProgram, true, kRuns, decode(heif)),
                measure(plugins, hostProgram, false, kRuns, decode(heif)));
        } else {
            std::printf("12 MP HEIF: no HEVC encoder here, skipped\n");
        }
        const auto identifyAll = [&](DecoderRegistry& r) {
            for (const std::string& path : many) {
                IdentifyRequest request;
                request.fileName = path;
                if (r.identify(request) < 0) {
                    std::fprintf(stderr, "plugin-host-bench: %s not identified\n", path.c_str());
                    std::exit(1);
                }
            }
        };
        row("identify 2,000 WebP, one by one",
            measure(plugins, hostProgram, true, kRuns, identifyAll),
            measure(plugins, hostProgram, false, kRuns, identifyAll));
        // As the folder scan asks: many files per exchange with the host (in
        // the program the same call is a loop over identify()).
        std::vector<IdentifyRequest> requests(many.size());
        for (std::size_t i = 0; i < many.size(); ++i) {
            requests[i].fileName = many[i];
        }
        const auto identifyBatch = [&](DecoderRegistry& r) {
            for (const DecoderId id : r.identifyFiles(requests)) {
                if (id < 0) {
                    std::fprintf(stderr, "plugin-host-bench: a file was not identified\n");
                    std::exit(1);
                }
            }
        };
        row("identify 2,000 WebP, batches",
            measure(plugins, hostProgram, true, kRuns, identifyBatch),
            measure(plugins, hostProgram, false, kRuns, identifyBatch));
    }

    // A folder of archives, as the scan asks which files are archives.
    fs::create_directories(data / "archives");
    const fs::path small = data / "archives" / "a0.zip";
    if (!fs::exists(small) && !writeZip(small, 3)) {
        std::fprintf(stderr, "plugin-host-bench: cannot write %s\n", small.c_str());
        return 1;
    }
    std::vector<IdentifyRequest> archives(2000);
    for (std::size_t i = 0; i < archives.size(); ++i) {
        const fs::path path = data / "archives" / ("a" + std::to_string(i) + ".zip");
        if (!fs::exists(path)) {
            fs::copy_file(small, path);
        }
        archives[i].fileName = path.string();
        archives[i].kind = DecoderKind::Archive;
    }
    const auto identifyArchives = [&](bool batched) {
        return [&archives, batched](DecoderRegistry& r) {
            std::vector<DecoderId> found;
            if (batched) {
                found = r.identifyFiles(archives);
            } else {
                for (const IdentifyRequest& request : archives) {
                    found.push_back(r.identify(request));
                }
            }
            for (const DecoderId id : found) {
                if (id < 0) {
                    std::fprintf(stderr, "plugin-host-bench: an archive was not identified\n");
                    std::exit(1);
                }
            }
        };
    };
    row("identify 2,000 zips, one by one",
        measure(plugins, hostProgram, true, kRuns, identifyArchives(false)),
        measure(plugins, hostProgram, false, kRuns, identifyArchives(false)));
    row("identify 2,000 zips, batches",
        measure(plugins, hostProgram, true, kRuns, identifyArchives(true)),
        measure(plugins, hostProgram, false, kRuns, identifyArchives(true)));

    // The members of one large archive, as the scan identifies them: each
    // unpacked into memory, its first 2048 bytes asked about.
    const int memberCount = std::getenv("BENCH_MEMBERS") != nullptr
                                ? std::max(1, std::atoi(std::getenv("BENCH_MEMBERS")))
                                : 5000;
    const fs::path large = data / ("members-" + std::to_string(memberCount) + ".zip");
    if (!fs::exists(large) && !writeZip(large, memberCount)) {
        std::fprintf(stderr, "plugin-host-bench: cannot write %s\n", large.c_str());
        return 1;
    }
    const auto identifyMembers = [&](bool batched) {
        return [&large, batched, memberCount](DecoderRegistry& r) {
            const DecoderId zip = r.find("archive", DecoderKind::Archive);
            std::vector<ArchiveEntry> members;
            if (r.archiveList(zip, PluginSource::file(large.string()), members) != 0 ||
                static_cast<int>(members.size()) != memberCount) {
                std::fprintf(stderr, "plugin-host-bench: the archive was not listed\n");
                std::exit(1);
            }
            std::vector<std::vector<std::byte>> headers(members.size());
            std::vector<IdentifyRequest> requests(members.size());
            std::size_t found = 0;
            for (std::size_t i = 0; i < members.size(); ++i) {
                SpiBlock bytes;
                if (r.archiveFileToMemory(zip, large.string(), members[i].position, bytes) != 0) {
                    continue;
                }
                headers[i].assign(SPI_HEADER_BYTES, std::byte{0});
                const auto got = bytes.bytes();
                std::copy_n(got.begin(), std::min(got.size(), headers[i].size()),
                            headers[i].begin());
                requests[i].fileName = members[i].filename;
                requests[i].header = headers[i];
                requests[i].archive = zip;
                if (!batched) {
                    found += r.identify(requests[i]) >= 0 ? 1 : 0;
                }
            }
            if (batched) {
                for (const DecoderId id : r.identifyFiles(requests)) {
                    found += id >= 0 ? 1 : 0;
                }
            }
            if (static_cast<int>(found) != memberCount) {
                std::fprintf(stderr, "plugin-host-bench: %zu members identified\n", found);
                std::exit(1);
            }
        };
    };
    constexpr int kMemberRuns = 2;
    const std::string members = std::to_string(memberCount) + " members";
    row((members + ", one by one").c_str(),
        measure(plugins, hostProgram, true, kMemberRuns, identifyMembers(false)),
        measure(plugins, hostProgram, false, kMemberRuns, identifyMembers(false)));
    row((members + ", batches").c_str(),
        measure(plugins, hostProgram, true, kMemberRuns, identifyMembers(true)),
        measure(plugins, hostProgram, false, kMemberRuns, identifyMembers(true)));
    return 0;
}
