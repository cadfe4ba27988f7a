// What showing photographs upright costs, and how soon a folder of camera
// JPEGs shows something in every cell:
//   photo-bench FOLDER [COUNT] [WIDTHxHEIGHT]
// Writes COUNT camera-like JPEGs into FOLDER (once; 80 of 4000 x 3000 by
// default), half of them stored sideways (EXIF orientation 6), each with a
// 160 x 120 EXIF thumbnail as cameras write it. Then:
//  1. one thumbnail (110 x 110 box) per picture through the thumbnail maker,
//     orientation 1 against orientation 6 and AutoRotate off, wall and
//     processor time per thumbnail (best of 3);
//  2. the first screen: every cell asked for as the grid's visible pass
//     does, results applied as idle time does, until each cell has a
//     picture to paint; with ExifThumbnailFirst on (the cameras' own
//     thumbnails) and off (the real thumbnails only). Thumbnail caching is
//     off so every run decodes.
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_maker.h"
#include "imaging/decoder_registry.h"
#include "imaging/jpeg_encoder.h"
#include "settings/settings_store.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double cpuMs() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

vemra::PictureBuffer photo(int seed, int width, int height) {
    vemra::PictureBuffer picture = vemra::PictureBuffer::create(width, height, 24);
    std::uint32_t noise = 777u + static_cast<std::uint32_t>(seed) * 7919u;
    for (int y = 0; y < height; ++y) {
        std::byte* row = picture.row(y).data();
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 27) - 16;
            const double wave = std::sin(x * 0.004 + seed) * std::cos(y * 0.005 - seed);
            row[x * 3] = static_cast<std::byte>(std::clamp(int(110 + 90 * wave) + grain, 0, 255));
            row[x * 3 + 1] = static_cast<std::byte>(std::clamp(x * 200 / width + grain, 0, 255));
            row[x * 3 + 2] = static_cast<std::byte>(std::clamp(y * 220 / height + grain, 0, 255));
        }
    }
    return picture;
}

void writeCameraJpeg(const std::string& path, int seed, int width, int height, int orientation) {
    if (fs::exists(path))
        return;
    const std::string part = path + ".part";
    vemra::saveJpeg(part, photo(seed, width, height), 90, false);
    std::vector<std::byte> thumbnail;
    vemra::JpegOptions options;
    vemra::encodeJpeg(photo(seed, 160, 120), options, thumbnail);
    auto image = Exiv2::ImageFactory::open(part);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(orientation);
    exif["Exif.Image.Model"] = "Bench Camera";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:03 14:25:36";
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.data()),
                                            static_cast<long>(thumbnail.size()));
    image->writeMetadata();
    fs::rename(part, path);
}

struct Cost {
    double wall = 1e18;
    double cpu = 1e18;
};

Cost thumbnailCost(vemra::ThumbnailMaker& maker, const std::vector<std::string>& files,
                   bool autoRotate) {
    Cost best;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const double cpuStart = cpuMs();
        for (const std::string& file : files) {
            vemra::PictureSource entry;
            entry.folder = fs::path(file).parent_path().string();
            entry.fileName = fs::path(file).filename().string();
            entry.drawing.autoRotate = autoRotate;
            if (!maker.make(entry, 110, 110))
                std::fprintf(stderr, "no thumbnail for %s\n", file.c_str());
        }
        const double n = static_cast<double>(files.size());
        best.wall = std::min(
            best.wall, std::chrono::duration<double, std::milli>(Clock::now() - start).count() / n);
        best.cpu = std::min(best.cpu, (cpuMs() - cpuStart) / n);
    }
    return best;
}

// Milliseconds from opening the folder until every cell has a picture.
Cost firstScreen(vemra::DecoderRegistry& registry, vemra::RegistryScanServices& services,
                 const std::string& folder, bool previews) {
    vemra::RegistryPictureLoader loader(registry);
    vemra::ThumbCache cache;
    vemra::DocumentOptions options;
    options.cacheFolder = false;
    options.exifThumbnailFirst = previews;
    vemra::FolderDocument document(services, cache, options);
    document.setPictureLoader(&loader);
    const auto start = Clock::now();
    const double cpuStart = cpuMs();
    document.openFolder(folder, nullptr, false);
    const int count = document.displayedCount();
    const vemra::CellGeometry cell{110, 110, 110, 86};
    document.beginVisiblePass();
    for (int position = 0; position < count; ++position)
        document.requestThumbnail(position, cell, true);
    const auto painted = [&] {
        for (int position = 0; position < count; ++position) {
            const vemra::PictureSource* entry = document.entryAt(position);
            if (entry == nullptr || (!entry->thumbnail && !entry->preview))
                return false;
        }
        return true;
    };
    while (!painted()) {
        document.waitForThumbnailResults(std::chrono::milliseconds(2));
        document.applyThumbnailResults(cell, nullptr, nullptr);
    }
    Cost cost;
    cost.wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    cost.cpu = cpuMs() - cpuStart;
    document.dropThumbnailJobs();
    return cost;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: photo-bench FOLDER [COUNT] [WIDTHxHEIGHT]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = argv[1];
    const int count = argc > 2 ? std::max(2, std::atoi(argv[2])) : 80;
    int width = 4000;
    int height = 3000;
    if (argc > 3)
        std::sscanf(argv[3], "%dx%d", &width, &height);
    fs::create_directories(folder);
    std::vector<std::string> upright;
    std::vector<std::string> sideways;
    for (int i = 0; i < count; ++i) {
        char name[64];
        const int orientation = i % 2 == 0 ? 1 : 6;
        std::snprintf(name, sizeof name, "/IMG_%04d.JPG", i);
        writeCameraJpeg(folder + name, i, width, height, orientation);
        (orientation == 1 ? upright : sideways).push_back(folder + name);
    }

    const fs::path settings = fs::temp_directory_path() / "photo-bench.ini";
    vemra::SettingsStore store(settings.string());
    vemra::DecoderRegistry registry(store);
    registry.setWriteBack(false);
    vemra::RegistryScanServices services(registry);
    vemra::RegistryPictureLoader loader(registry);
    vemra::ThumbnailMaker maker(loader, vemra::UnsharpSettings{});

    const Cost plain = thumbnailCost(maker, upright, true);
    const Cost turned = thumbnailCost(maker, sideways, true);
    const Cost off = thumbnailCost(maker, sideways, false);
    std::printf("thumbnail %dx%d, per picture (best of 3): orientation 1 %.1f ms wall %.1f ms cpu; "
                "orientation 6 %.1f ms wall %.1f ms cpu (x%.3f); AutoRotate off %.1f ms wall "
                "%.1f ms cpu\n",
                width, height, plain.wall, plain.cpu, turned.wall, turned.cpu,
                turned.wall / plain.wall, off.wall, off.cpu);

    Cost withPreviews{1e18, 1e18};
    Cost without{1e18, 1e18};
    for (int run = 0; run < 3; ++run) {
        const Cost a = firstScreen(registry, services, folder, true);
        const Cost b = firstScreen(registry, services, folder, false);
        withPreviews.wall = std::min(withPreviews.wall, a.wall);
        withPreviews.cpu = std::min(withPreviews.cpu, a.cpu);
        without.wall = std::min(without.wall, b.wall);
        without.cpu = std::min(without.cpu, b.cpu);
    }
    std::printf("first screen of %d cells (best of 3): EXIF thumbnails first %.0f ms wall "
                "%.0f ms cpu; real thumbnails only %.0f ms wall %.0f ms cpu\n",
                count, withPreviews.wall, withPreviews.cpu, without.wall, without.cpu);
    fs::remove(settings);
    return 0;
}

#pragma GCC diagnostic pop
