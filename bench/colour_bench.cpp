// Colour management costs, on pictures tagged with Adobe RGB (1998):
//   viewer   converting a decoded 4000 x 3000 picture to sRGB, as the viewer
//            does once after decoding: split over threads (as shipped) and
//            on one thread, through the matrix-shaper tables the program
//            uses for such pairs and through lcms2's own 8-bit transform of
//            the same pair (what the program used before, and still uses
//            for other profiles); and a screen's worth (1920 x 1080), what
//            converting only the shown, scaled picture would cost;
//   thumb    a thumbnail of a 4000 x 3000 JPEG into a 110 x 110 cell (1/8
//            decode, scaling, sharpening), without colour management and
//            with it (the embedded profile read and the thumbnail converted).
// Wall time and the process's processor time are printed (best and median
// of the runs): the machine is shared, so wall times stretch with its load.
//   colour-bench FOLDER [RUNS]
// FOLDER receives adobe-12mp.jpg and adobe-12mp.tif for the peers that
// run_colour_bench.sh times (vips icc_transform, ImageMagick -profile).

#include "../tests/imaging/colour_test_support.h"
#include "document/picture_source.h"
#include "document/thumbnail_maker.h"
#include "imaging/colour_management.h"
#include "imaging/colour_transform_cache.h"
#include "imaging/decoder.h"
#include "imaging/embedded_profile.h"
#include "platform/mapped_file.h"

#include <lcms2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

namespace {

using namespace vemra;

double processorMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Timing {
    std::vector<double> wall;
    std::vector<double> cpu;
};

Timing measure(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    Timing t;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double cpu0 = processorMs();
        const auto wall0 = std::chrono::steady_clock::now();
        work();
        const auto wall1 = std::chrono::steady_clock::now();
        t.cpu.push_back(processorMs() - cpu0);
        t.wall.push_back(std::chrono::duration<double, std::milli>(wall1 - wall0).count());
    }
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double best(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

void report(const char* what, const Timing& t) {
    std::printf("%-34s wall best %7.2f ms median %7.2f ms   processor best %7.2f ms median %7.2f "
                "ms\n",
                what, best(t.wall), median(t.wall), best(t.cpu), median(t.cpu));
}

// Gradients with some texture: a photograph-like spread of colours.
PictureBuffer photoLike(int width, int height) {
    PictureBuffer p = PictureBuffer::create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::byte* row = p.row(y).data();
        for (int x = 0; x < width; ++x) {
            const int noise = (x * 7919 + y * 104729) % 23;
            row[x * 3] = std::byte((x * 255 / width + noise) & 0xFF);
            row[x * 3 + 1] = std::byte((y * 255 / height + noise) & 0xFF);
            row[x * 3 + 2] = std::byte(((x + y) * 255 / (width + height) + 3 * noise) & 0xFF);
        }
    }
    return p;
}

// lcms2's transform of the pair, in as many bands as the program makes.
void lcmsInBands(cmsHTRANSFORM transform, PictureBuffer& picture, int bands) {
    const auto band = [&](int b) {
        const int first = picture.height() * b / bands;
        const int last = picture.height() * (b + 1) / bands;
        std::byte* rows = picture.pixels().data() + picture.rowBytes() * std::size_t(first);
        cmsDoTransformLineStride(transform, rows, rows, std::uint32_t(picture.width()),
                                 std::uint32_t(last - first), std::uint32_t(picture.rowBytes()),
                                 std::uint32_t(picture.rowBytes()), 0, 0);
    };
    std::vector<std::jthread> helpers;
    for (int b = 1; b < bands; ++b)
        helpers.emplace_back(band, b);
    band(0);
}

void writeFile(const std::string& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: colour-bench FOLDER [RUNS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    const std::vector<std::byte> adobe = test::adobeRgbProfile();
    const PictureBuffer photo = photoLike(4000, 3000);
    const std::string jpeg = folder + "/adobe-12mp.jpg";
    writeFile(jpeg, test::jpegWithProfile(photo, adobe));
    test::tiffWithProfile(photo, adobe, folder + "/adobe-12mp.tif");
    writeFile(folder + "/srgb.icc", test::srgbProfile());

    // The viewer: one 12-megapixel picture converted after decoding.
    PictureBuffer work;
    const auto fresh = [&] { work = photo.duplicate(); };
    convertToDisplay(work, adobe, *DisplayColour::srgb()); // the transform is made once
    // Making the route: both profiles opened, lcms2's transform built, the
    // tables filled and checked against it.
    report("making the route (once per profile pair)", measure(runs, clearColourRoutes, [&] {
               colourRoute(adobe, colourProfileHash(adobe), *DisplayColour::srgb(),
                           ColourPixels::Bgr);
           }));
    const ColourRoute route =
        colourRoute(adobe, colourProfileHash(adobe), *DisplayColour::srgb(), ColourPixels::Bgr);
    std::printf("matrix-shaper tables in use: %s\n",
                route.transform->matrixShaper() ? "yes" : "no");
    report("viewer 12 MP, tables, threads (shipped)",
           measure(runs, fresh, [&] { convertToDisplay(work, adobe, *DisplayColour::srgb()); }));
    const auto oneThread = [&](PictureBuffer& p) {
        route.transform->run(
            p.pixels().data(), p.pixels().data(), static_cast<std::uint32_t>(p.width()),
            static_cast<std::uint32_t>(p.height()), static_cast<std::uint32_t>(p.rowBytes()),
            static_cast<std::uint32_t>(p.rowBytes()));
    };
    report("viewer 12 MP, tables, one thread", measure(runs, fresh, [&] { oneThread(work); }));

    cmsHPROFILE from = cmsOpenProfileFromMem(adobe.data(), std::uint32_t(adobe.size()));
    cmsHPROFILE to = cmsCreate_sRGBProfile();
    cmsHTRANSFORM lcms =
        cmsCreateTransform(from, TYPE_BGR_8, to, TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    report("viewer 12 MP, lcms2, threads",
           measure(runs, fresh, [&] { lcmsInBands(lcms, work, std::min(cores, 8)); }));
    report("viewer 12 MP, lcms2, one thread",
           measure(runs, fresh, [&] { lcmsInBands(lcms, work, 1); }));
    cmsDeleteTransform(lcms);
    cmsCloseProfile(from);
    cmsCloseProfile(to);

    const PictureBuffer screen = photoLike(1920, 1080);
    PictureBuffer shown;
    report("screen 1920 x 1080, tables, one thread",
           measure(
               runs, [&] { shown = screen.duplicate(); }, [&] { oneThread(shown); }));

    // Thumbnails: the same file, with and without colour management.
    const BuiltinDecoder* decoder = findBuiltinDecoder(kJpegDecoderId);
    const auto file = MappedFile::open(jpeg);
    if (decoder == nullptr || !file)
        return 1;
    PictureSource entry;
    entry.folder = folder;
    entry.fileName = "adobe-12mp.jpg";
    entry.pictureWidth = 4000;
    entry.pictureHeight = 3000;
    const auto thumbnail = [&](std::shared_ptr<const DisplayColour> colour) {
        entry.drawing.colour = std::move(colour);
        DecodeOptions options;
        options.reduction = 8;
        PictureBuffer decoded;
        decoder->picture(reinterpret_cast<const char*>(file->bytes().data()),
                         static_cast<std::intptr_t>(file->size()), 1, decoded, options);
        // A managed thumbnail reads the file's profile, as the thumbnail
        // maker does in the same metadata read that learns the orientation.
        const std::vector<std::byte> profile =
            entry.drawing.colour ? embeddedColourProfile(jpeg) : std::vector<std::byte>{};
        PictureBuffer made = thumbnailFromDecoded(std::move(decoded), entry, 110, 83, {}, profile);
        if (!made)
            std::abort();
    };
    const auto nothing = [] {};
    Timing plain, managed;
    for (int round = 0; round < 3; ++round) { // interleaved against drifting load
        const Timing a = measure(runs, nothing, [&] { thumbnail(nullptr); });
        const Timing b = measure(runs, nothing, [&] { thumbnail(DisplayColour::srgb()); });
        plain.wall.insert(plain.wall.end(), a.wall.begin(), a.wall.end());
        plain.cpu.insert(plain.cpu.end(), a.cpu.begin(), a.cpu.end());
        managed.wall.insert(managed.wall.end(), b.wall.begin(), b.wall.end());
        managed.cpu.insert(managed.cpu.end(), b.cpu.begin(), b.cpu.end());
    }
    report("thumbnail, unmanaged", plain);
    report("thumbnail, profile read + converted", managed);
    std::printf("thumbnail ratio (median processor)   %.3f\n",
                median(managed.cpu) / median(plain.cpu));
    const Timing reading = measure(runs, nothing, [&] {
        if (embeddedColourProfile(jpeg).empty())
            std::abort();
    });
    report("  of which the profile read (exiv2)", reading);
    return 0;
}
