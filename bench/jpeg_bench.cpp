// Thumbnail-size JPEG decoding: the built-in decoder at reduction 8 against
// libjpeg-turbo's own `djpeg -scale 1/8` on the same 4000 x 3000 file, and
// against the bare library loop that djpeg runs, in this process.
//   vemra-jpeg-bench [FILE.jpg]
//   vemra-jpeg-bench FILE.jpg FILE.jpg ...
// Without a file a photo-like test picture is written to a temporary folder.
// With several files each is decoded once both ways, read from disk as a
// thumbnail maker must, and the processor time of each pass is printed:
// on a loaded machine that is the figure that stays comparable.

#include "imaging/decoder.h"

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;

// A 4000 x 3000 picture with gradients and texture, so that the entropy
// coder has photo-like work to do.
bool writeTestJpeg(const std::string& path) {
    constexpr int kWidth = 4000;
    constexpr int kHeight = 3000;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(kWidth * 3);
    std::uint32_t noise = 1;
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            const double wave = std::sin(x * 0.01) * std::cos(y * 0.013);
            row[x * 3] = static_cast<unsigned char>(
                std::clamp(static_cast<int>(120 + 100 * wave) + grain, 0, 255));
            row[x * 3 + 1] =
                static_cast<unsigned char>(std::clamp(x * 255 / kWidth + grain, 0, 255));
            row[x * 3 + 2] =
                static_cast<unsigned char>(std::clamp(y * 255 / kHeight + grain, 0, 255));
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

template <typename F> double medianMilliseconds(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        if (!run()) {
            return -1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// What djpeg does for -scale 1/8, minus its process and its BMP writer.
bool libraryLoop(const std::vector<unsigned char>& data) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> rows(static_cast<std::size_t>(cinfo.output_width) * 3 *
                                    cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW p =
            rows.data() + static_cast<std::size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
        jpeg_read_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Every file once through each decoder, best of three passes.
int decodeEach(const std::vector<std::string>& paths) {
    const vemra::BuiltinDecoder* jpeg = vemra::findBuiltinDecoder(vemra::kJpegDecoderId);
    vemra::DecodeOptions options;
    options.reduction = 8;
    const auto pass = [&](auto&& decodeOne) {
        double best = -1;
        for (int run = 0; run < 3; ++run) {
            const double start = processCpuMs();
            for (const std::string& path : paths) {
                if (!decodeOne(path))
                    return -1.0;
            }
            const double spent = processCpuMs() - start;
            best = best < 0 ? spent : std::min(best, spent);
        }
        return best;
    };
    const double library = pass([](const std::string& path) {
        // One read of the whole file, as djpeg's source manager amounts to.
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::vector<unsigned char> data(static_cast<std::size_t>(
            std::max<std::streamoff>(0, static_cast<std::streamoff>(in.tellg()))));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return !data.empty() && in && libraryLoop(data);
    });
    const double ours = pass([&](const std::string& path) {
        vemra::PictureBuffer picture;
        return jpeg->picture(path.c_str(), 0, SPI_SOURCE_FILE, picture, options) == 0;
    });
    const auto n = static_cast<double>(paths.size());
    std::printf("%zu files, each read and decoded at 1/8 once per pass, best of 3 passes, "
                "processor time:\n",
                paths.size());
    std::printf("  libjpeg-turbo 1/8 loop (file read into memory): %8.1f ms (%.2f ms a file)\n",
                library, library / n);
    std::printf("  built-in decoder, reduction 8 (file):           %8.1f ms (%.2f ms a file)\n",
                ours, ours / n);
    return library < 0 || ours < 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2)
        return decodeEach(std::vector<std::string>(argv + 1, argv + argc));
    std::string path;
    std::filesystem::path folder;
    if (argc > 1) {
        path = argv[1];
    } else {
        folder = std::filesystem::temp_directory_path() / "vemra-jpeg-bench";
        std::filesystem::create_directories(folder);
        path = (folder / "photo-4000x3000.jpg").string();
        if (!std::filesystem::exists(path) && !writeTestJpeg(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    std::printf("%s (%zu bytes), median of %d runs\n", path.c_str(), data.size(), kRuns);

    const vemra::BuiltinDecoder* jpeg = vemra::findBuiltinDecoder(vemra::kJpegDecoderId);
    vemra::DecodeOptions options;
    options.reduction = 8;
    int width = 0;
    const double ours = medianMilliseconds([&] {
        vemra::PictureBuffer picture;
        const bool ok = jpeg->picture(path.c_str(), 0, SPI_SOURCE_FILE, picture, options) == 0;
        width = picture.width();
        return ok;
    });
    std::printf("  built-in decoder, reduction 8 (file):   %7.2f ms  (%d px wide)\n", ours, width);
    const double library = medianMilliseconds([&] { return libraryLoop(data); });
    std::printf("  libjpeg-turbo 1/8 loop in process:       %7.2f ms\n", library);

    const std::string djpeg = "djpeg -scale 1/8 -bmp -outfile /dev/null '" + path + "'";
    if (std::system("command -v djpeg >/dev/null 2>&1") == 0) {
        const double tool = medianMilliseconds([&] { return std::system(djpeg.c_str()) == 0; });
        std::printf("  djpeg -scale 1/8 (a process each run):  %7.2f ms\n", tool);
    } else {
        std::printf("  djpeg not found (libjpeg-turbo-progs)\n");
    }
    return 0;
}
