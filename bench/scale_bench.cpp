// Times every scaling mode on a 4000 x 3000 picture against Pillow and
// libvips on the same picture, and prints the ratios.
//
// Usage: scale_bench WORK_DIR PILLOW_SCRIPT [REPEATS]
// WORK_DIR receives the test picture (PPM and the vips format). Pillow is run
// through /usr/bin/python3 and libvips through the `vips` program; a peer
// that is missing is reported and skipped.

#include "imaging/scaling.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A photograph-like test picture: smooth gradients, a few hard edges and
// some noise, so that no algorithm meets only flat areas.
vemra::PictureBuffer makePicture(int width, int height) {
    vemra::PictureBuffer p = vemra::PictureBuffer::create(width, height, 24);
    std::uint32_t state = 2463534242u;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint8_t*>(p.row(y).data());
        for (int x = 0; x < width; ++x, row += 3) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = static_cast<int>(state & 31) - 16;
            const bool stripe = (x / 97 + y / 61) % 2 == 0;
            const int b = x * 255 / width + noise;
            const int g = y * 255 / height + noise;
            const int r = (stripe ? 200 : 40) + noise;
            row[0] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
            row[1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            row[2] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
        }
    }
    return p;
}

bool writePpm(const std::string& path, const vemra::PictureBuffer& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width() << " " << p.height() << "\n255\n";
    std::vector<char> line(static_cast<std::size_t>(p.width()) * 3);
    for (int y = 0; y < p.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(p.row(y).data());
        for (int x = 0; x < p.width(); ++x) {
            line[x * 3] = static_cast<char>(row[x * 3 + 2]);
            line[x * 3 + 1] = static_cast<char>(row[x * 3 + 1]);
            line[x * 3 + 2] = static_cast<char>(row[x * 3]);
        }
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return static_cast<bool>(out);
}

// Median wall time of a shell command in milliseconds; negative on failure.
double timeCommand(const std::string& command, int repeats) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
            return -1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(times);
}

std::map<std::string, double> runPillow(const std::string& script, const std::string& picture,
                                        int width, int height, int repeats) {
    std::map<std::string, double> result;
    const std::string command = "/usr/bin/python3 '" + script + "' '" + picture + "' " +
                                std::to_string(width) + " " + std::to_string(height) + " " +
                                std::to_string(repeats) + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char name[32];
    double ms = 0;
    while (std::fscanf(pipe, "%31s %lf", name, &ms) == 2) {
        result[name] = ms;
    }
    ::pclose(pipe);
    return result;
}

struct Mode {
    const char* name;
    vemra::ScaleMode mode;
};

constexpr Mode kModes[] = {
    {"0 normal (painter)", vemra::ScaleMode::Normal}, {"1 nearest", vemra::ScaleMode::Nearest},
    {"2 bilinear", vemra::ScaleMode::Bilinear},       {"3 box", vemra::ScaleMode::Box},
    {"10 automatic", vemra::ScaleMode::Automatic},
};

void printPeer(const char* name, double theirs, double ours, const char* ourMode) {
    if (theirs <= 0) {
        std::printf("  %-34s unavailable\n", name);
        return;
    }
    std::printf("  %-34s %9.2f ms   ours (%s) / theirs = %.2f\n", name, theirs, ourMode,
                ours / theirs);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: scale_bench WORK_DIR PILLOW_SCRIPT [REPEATS]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string script = argv[2];
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    constexpr int kWidth = 4000;
    constexpr int kHeight = 3000;

    const vemra::PictureBuffer picture = makePicture(kWidth, kHeight);
    const std::string ppm = dir + "/picture.ppm";
    const std::string native = dir + "/picture.v";
    if (!writePpm(ppm, picture)) {
        std::fprintf(stderr, "scale_bench: cannot write %s\n", ppm.c_str());
        return 1;
    }
    const bool haveVips =
        std::system(("vips copy '" + ppm + "' '" + native + "' >/dev/null 2>&1").c_str()) == 0;

    std::printf("Scaling a %d x %d 24-bit picture; median of %d runs\n", kWidth, kHeight, repeats);
    for (const auto& [w, h] : {std::pair{1000, 750}, std::pair{110, 83}}) {
        std::printf("\n-> %d x %d\n", w, h);
        std::map<vemra::ScaleMode, double> ours;
        for (const Mode& m : kModes) {
            std::vector<double> times;
            for (int i = 0; i < repeats; ++i) {
                const auto start = Clock::now();
                const vemra::PictureBuffer out = vemra::scaleAndRotate(picture, w, h, 0, m.mode);
                times.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (!out) {
                    std::fprintf(stderr, "scale_bench: mode %s failed\n", m.name);
                    return 1;
                }
            }
            ours[m.mode] = median(times);
            std::printf("  vemra mode %-23s %9.2f ms\n", m.name, ours[m.mode]);
        }

        const auto pillow = runPillow(script, ppm, w, h, repeats);
        auto pil = [&](const char* name) {
            const auto it = pillow.find(name);
            return it == pillow.end() ? -1.0 : it->second;
        };
        printPeer("Pillow NEAREST", pil("NEAREST"), ours[vemra::ScaleMode::Nearest], "1");
        printPeer("Pillow BILINEAR", pil("BILINEAR"), ours[vemra::ScaleMode::Bilinear], "2");
        printPeer("Pillow BOX", pil("BOX"), ours[vemra::ScaleMode::Box], "3");

        if (!haveVips) {
            printPeer("vips resize", -1, 0, "");
            printPeer("vips reduce", -1, 0, "");
            continue;
        }
        // The vips program starts, maps its picture and writes the result on
        // every run; cropping out a picture of the target size costs all of
        // that but the scaling, so it is subtracted.
        const std::string out = "'" + dir + "/out.v'";
        const std::string in = "'" + native + "'";
        const double hshrink = static_cast<double>(kWidth) / w;
        const double vshrink = static_cast<double>(kHeight) / h;
        const double base = timeCommand("vips crop " + in + " " + out + " 0 0 " +
                                            std::to_string(w) + " " + std::to_string(h),
                                        repeats);
        const double resize =
            timeCommand("vips resize " + in + " " + out + " " + std::to_string(1 / hshrink) +
                            " --vscale " + std::to_string(1 / vshrink),
                        repeats);
        const double reduce =
            timeCommand("vips reduce " + in + " " + out + " " + std::to_string(hshrink) + " " +
                            std::to_string(vshrink),
                        repeats);
        std::printf("  (vips process start, load and save: %.2f ms, subtracted below)\n", base);
        printPeer("vips resize (lanczos3)", resize - base, ours[vemra::ScaleMode::Automatic], "10");
        printPeer("vips reduce (lanczos3)", reduce - base, ours[vemra::ScaleMode::Box], "3");
    }
    return 0;
}
