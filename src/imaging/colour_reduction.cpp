#include "imaging/colour_reduction.h"

#include "imaging/palette_search.h"
#include "imaging/picture_convert.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace vemra {
namespace {

// The 16 standard system colours: the eight mixes of 0 and 128, light grey,
// and the seven mixes of 0 and 255 other than black.
std::vector<Rgb> systemColours() {
    std::vector<Rgb> colours;
    for (int i = 0; i < 8; ++i) {
        colours.push_back(rgb(i & 1 ? 128 : 0, i & 2 ? 128 : 0, i & 4 ? 128 : 0));
    }
    colours.push_back(rgb(192, 192, 192));
    for (int i = 1; i < 8; ++i) {
        colours.push_back(rgb(i & 1 ? 255 : 0, i & 2 ? 255 : 0, i & 4 ? 255 : 0));
    }
    return colours;
}

// The picture as one Rgb per pixel, top row first.
bool unpack(const PictureBuffer& picture, std::vector<Rgb>& pixels, int& width, int& height) {
    const auto layout = picture.layout();
    if (!layout) {
        return false;
    }
    const PictureBuffer* source = &picture;
    PictureBuffer converted;
    if (layout->bitCount != 24 || layout->compression != Compression::None || layout->isCore()) {
        converted = picture.duplicate();
        const Compression c = layout->compression;
        if ((c == Compression::Rle8 || c == Compression::Rle4) && !expandRle(converted)) {
            return false;
        }
        if (!convertTo24Bits(converted)) {
            return false;
        }
        source = &converted;
    }
    width = layout->width;
    height = layout->height;
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(source->row(y).data());
        Rgb* out = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x, row += 3) {
            out[x] = rgb(row[2], row[1], row[0]);
        }
    }
    return true;
}

int channel(Rgb c, int k) {
    return static_cast<int>(c >> (8 * k) & 0xFF);
}

// Marks the pixels that sit in smooth areas: where the normalised gradients
// of the 3 x 3 neighbourhood hardly change. Border pixels are never smooth.
bool findSmoothPixels(const std::vector<Rgb>& pixels, int w, int h,
                      std::vector<std::uint8_t>& smooth, const std::function<bool(int)>& progress) {
    smooth.assign(pixels.size(), 0);
    if (w < 3 || h < 3) {
        return progress(400);
    }
    if (!progress(5)) {
        return false;
    }
    // Six normalised gradients per pixel: (gx, gy) for each of r, g, b.
    std::vector<std::array<std::uint8_t, 6>> gradients(pixels.size());
    for (auto& g : gradients) {
        g.fill(128);
    }
    const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * w + x]; };
    for (int y = 1; y < h - 1; ++y) {
        if (!progress(20 + 80 * y / h)) {
            return false;
        }
        for (int x = 1; x < w - 1; ++x) {
            auto& g = gradients[static_cast<std::size_t>(y) * w + x];
            for (int k = 0; k < 3; ++k) {
                int lo = 255;
                int hi = 0;
                int gx = 0;
                int gy = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int v = channel(at(x + dx, y + dy), k);
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                        gx += dx * v;
                        gy += dy * v;
                    }
                }
                const double range = std::max(hi - lo, 8);
                g[static_cast<std::size_t>(2 * k)] =
                    static_cast<std::uint8_t>(std::clamp(128.0 - gx / range * 64.0, 0.0, 255.0));
                g[static_cast<std::size_t>(2 * k + 1)] =
                    static_cast<std::uint8_t>(std::clamp(128.0 - gy / range * 64.0, 0.0, 255.0));
            }
        }
    }
    std::vector<float> hypot(256 * 256);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            hypot[static_cast<std::size_t>(a * 256 + b)] =
                std::sqrt(static_cast<float>(a * a + b * b));
        }
    }
    for (int y = 1; y < h - 1; ++y) {
        if (!progress(100 + 300 * y / h)) {
            return false;
        }
        for (int x = 1; x < w - 1; ++x) {
            const auto& centre = gradients[static_cast<std::size_t>(y) * w + x];
            double sums[3] = {};
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const auto& n = gradients[static_cast<std::size_t>(y + dy) * w + x + dx];
                    for (int k = 0; k < 3; ++k) {
                        const int ax = std::abs(n[2 * k] - centre[2 * k]);
                        const int ay = std::abs(n[2 * k + 1] - centre[2 * k + 1]);
                        sums[k] += hypot[static_cast<std::size_t>(ax * 256 + ay)];
                    }
                }
            }
            const double weight = std::clamp(
                255.0 -
                    std::sqrt(sums[0] * sums[0] + sums[1] * sums[1] + sums[2] * sums[2]) * 0.125,
                0.0, 255.0);
            smooth[static_cast<std::size_t>(y) * w + x] = weight >= 160 ? 1 : 0;
        }
    }
    return true;
}

// Distinct colours with their weights: 8 for a smooth pixel, 1 otherwise.
std::vector<WeightedColour> histogram(const std::vector<Rgb>& pixels,
                                      const std::vector<std::uint8_t>& smooth, bool skipTransparent,
                                      Rgb transparent) {
    std::vector<WeightedColour> result;
    if (pixels.size() > (1u << 20)) {
        // A direct table is faster than sorting millions of pixels.
        std::vector<std::uint32_t> counts(1u << 24);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (!(skipTransparent && pixels[i] == transparent)) {
                counts[pixels[i]] += smooth[i] != 0 ? 8 : 1;
            }
        }
        for (std::uint32_t c = 0; c < counts.size(); ++c) {
            if (counts[c] != 0) {
                result.push_back({c, counts[c]});
            }
        }
        return result;
    }
    std::vector<WeightedColour> all;
    all.reserve(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (!(skipTransparent && pixels[i] == transparent)) {
            all.push_back({pixels[i], smooth[i] != 0 ? 8u : 1u});
        }
    }
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.colour < b.colour; });
    for (const WeightedColour& c : all) {
        if (!result.empty() && result.back().colour == c.colour) {
            result.back().weight += c.weight;
        } else {
            result.push_back(c);
        }
    }
    return result;
}

} // namespace

PictureBuffer reduceColours(const PictureBuffer& picture, const ReductionOptions& options,
                            ProgressCallback progress, intptr_t userData) {
    const std::function<bool(int)> report = [&](int value) {
        return progress == nullptr || progress(value, 1000, userData) == 0;
    };
    std::vector<Rgb> pixels;
    int width = 0;
    int height = 0;
    if (options.targetColours < 1 || options.targetColours > 256 || !report(0) ||
        !unpack(picture, pixels, width, height)) {
        return {};
    }
    const bool hasTransparent = options.transparentCorner >= 0 && options.transparentCorner <= 3;
    Rgb transparent = 0;
    if (hasTransparent) {
        const std::size_t w = static_cast<std::size_t>(width);
        const std::size_t last = pixels.size() - w;
        const std::size_t corners[4] = {0, last, w - 1, pixels.size() - 1};
        transparent = pixels[corners[options.transparentCorner]];
    }

    std::vector<std::uint8_t> smooth;
    if (!findSmoothPixels(pixels, width, height, smooth, report)) {
        return {};
    }
    const std::vector<WeightedColour> colours =
        histogram(pixels, smooth, hasTransparent, transparent);
    smooth = {};

    const ColourSpace space(options.chroma);
    const int reserved = (options.reserveSystemColours ? 16 : 0) + (hasTransparent ? 1 : 0);
    const int target = std::max(options.targetColours - reserved, 1);
    auto found = searchPalette(colours, space, target, report);
    if (!found) {
        return {};
    }
    std::vector<Rgb> palette = std::move(*found);
    if (options.reserveSystemColours) {
        for (const Rgb c : systemColours()) {
            if (std::find(palette.begin(), palette.end(), c) == palette.end()) {
                palette.push_back(c);
            }
        }
    }
    // Dark to light reads well in palette views and gives stable files.
    std::sort(palette.begin(), palette.end(),
              [&space](Rgb a, Rgb b) { return space.toPoint(a).z < space.toPoint(b).z; });
    if (static_cast<int>(palette.size()) > options.targetColours - (hasTransparent ? 1 : 0)) {
        palette.resize(static_cast<std::size_t>(options.targetColours - (hasTransparent ? 1 : 0)));
    }
    if (hasTransparent) {
        palette.push_back(transparent);
    }
    if (palette.empty()) {
        palette.push_back(rgb(0, 0, 0));
    }

    MappingJob job;
    job.pixels = pixels;
    job.width = width;
    job.height = height;
    job.palette = palette;
    job.transparentEntry = hasTransparent ? static_cast<int>(palette.size()) - 1 : -1;
    job.transparentColour = transparent;
    job.mode = options.mode;
    job.strength = options.strength;
    auto indices = mapToPalette(job, space, report);
    if (!indices) {
        return {};
    }

    const int entries = static_cast<int>(palette.size());
    const int bits = entries > 16 ? 8 : entries > 2 ? 4 : 1;
    PictureBuffer out = PictureBuffer::create(width, height, bits, entries);
    if (!out) {
        return {};
    }
    if (const auto header = picture.header()) {
        out.setResolution(header->xPelsPerMeter, header->yPelsPerMeter);
    }
    for (int i = 0; i < entries; ++i) {
        const Rgb c = palette[static_cast<std::size_t>(i)];
        out.setPaletteColour(i, colourWord(channel(c, 0), channel(c, 1), channel(c, 2)));
    }
    for (int y = 0; y < height; ++y) {
        auto row = out.row(y);
        const std::uint8_t* in = indices->data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const unsigned v = in[x];
            if (bits == 8) {
                row[static_cast<std::size_t>(x)] = static_cast<std::byte>(v);
            } else if (bits == 4) {
                row[static_cast<std::size_t>(x / 2)] |=
                    static_cast<std::byte>(x % 2 == 0 ? v << 4 : v);
            } else {
                row[static_cast<std::size_t>(x / 8)] |=
                    static_cast<std::byte>((v & 1) << (7 - x % 8));
            }
        }
    }
    report(1000);
    return out;
}

} // namespace vemra
