// Writes the camera-size pictures of the thumbnail benchmark with the
// program's own JPEG encoder:
//   thumbs-bench-pictures FOLDER [COUNT] [WIDTHxHEIGHT] [FIRST]
// Each picture is 4000 x 3000 unless given, quality 90, with gradients,
// waves and grain that differ from picture to picture, so the decoder has
// photo-like work. Files already there are kept, so a folder is written once;
// FIRST starts at a later picture, so that two processes can share the work
// (each file is written whole or not at all).

#include "imaging/jpeg_encoder.h"
#include "imaging/picture_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

vemra::PictureBuffer photo(int seed, int width, int height) {
    vemra::PictureBuffer picture = vemra::PictureBuffer::create(width, height, 24);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(seed) * 7919u;
    const double fx = 0.004 + 0.0003 * (seed % 7);
    const double fy = 0.005 + 0.0004 * (seed % 5);
    for (int y = 0; y < height; ++y) {
        std::byte* row = picture.row(y).data();
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 27) - 16;
            const double wave = std::sin(x * fx + seed) * std::cos(y * fy - seed);
            const double ripple = std::sin((x + y) * 0.05 + seed * 0.3);
            const auto channel = [&](double v) {
                return static_cast<std::byte>(std::clamp(static_cast<int>(v) + grain, 0, 255));
            };
            row[x * 3] = channel(110 + 90 * wave + 20 * ripple);
            row[x * 3 + 1] = channel(x * 200.0 / width + 30 * ripple);
            row[x * 3 + 2] = channel(y * 220.0 / height + 25 * wave);
        }
    }
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: thumbs-bench-pictures FOLDER [COUNT] [WIDTHxHEIGHT] [FIRST]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 60;
    int width = 4000;
    int height = 3000;
    if (argc > 3 && (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 1 ||
                     height < 1 || width > 20000 || height > 20000)) {
        std::fprintf(stderr, "thumbs-bench-pictures: bad size %s\n", argv[3]);
        return 2;
    }
    const int first = argc > 4 ? std::max(0, std::atoi(argv[4])) : 0;
    std::filesystem::create_directories(folder);
    vemra::JpegOptions options;
    options.quality = 90;
    for (int i = first; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo-%03d.jpg", i);
        const std::string path = (folder / name).string();
        if (std::filesystem::exists(path))
            continue;
        const vemra::PictureBuffer picture = photo(i, width, height);
        if (!picture || !vemra::writeJpegFile(path, picture, options)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
