// Times the reduction of a 4000 x 3000 photo-like picture to 256 colours,
// in-process, after writing the same picture as a BMP so that other tools
// can be timed on it side by side:  reduce-bench OUT.bmp

#include "imaging/bmp_file.h"
#include "imaging/colour_reduction.h"

#include <chrono>
#include <cmath>
#include <cstdio>

using namespace vemra;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: reduce-bench OUT.bmp\n");
        return 2;
    }
    constexpr int w = 4000;
    constexpr int h = 3000;
    // Smooth gradients with fine texture: millions of distinct colours, as
    // in a photograph.
    PictureBuffer picture = PictureBuffer::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        auto row = picture.row(y);
        for (int x = 0; x < w; ++x) {
            const double fx = x / double(w);
            const double fy = y / double(h);
            row[3 * x] = std::byte(static_cast<int>(127 + 127 * std::sin(fx * 13 + fy * 7)) & 255);
            row[3 * x + 1] = std::byte(static_cast<int>(255 * fy + (x * 7 + y * 13) % 9) & 255);
            row[3 * x + 2] = std::byte(static_cast<int>(255 * fx * fy + ((x ^ y) & 7)) & 255);
        }
    }
    if (!writeBmpFile(argv[1], picture)) {
        std::fprintf(stderr, "reduce-bench: cannot write %s\n", argv[1]);
        return 1;
    }
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const PictureBuffer reduced = reduceColours(picture);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!reduced) {
            std::fprintf(stderr, "reduce-bench: reduction failed\n");
            return 1;
        }
        best = ms < best ? ms : best;
    }
    std::printf(
        "vemra reduceColours 4000x3000 -> 256 colours (Floyd-Steinberg): %.0f ms (best of 3)\n",
        best);
    return 0;
}
