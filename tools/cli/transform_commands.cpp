#include "transform_commands.h"

#include "picture_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "imaging/scaling.h"
#include "imaging/transforms.h"
#include "imaging/unsharp.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace vemra::cli {
namespace {

// The arguments of one command: one input file, "-o OUT", and options, each
// either a flag or followed by its value.
struct Arguments {
    std::string input;
    std::string output;
    std::map<std::string_view, std::string_view> values;
    std::set<std::string_view> flags;

    bool has(std::string_view option) const {
        return values.count(option) != 0 || flags.count(option) != 0;
    }
};

// Parses `args`; on a usage error prints it and returns nullopt.
std::optional<Arguments> parse(std::string_view command, std::span<const std::string_view> args,
                               std::set<std::string_view> valueOptions,
                               std::set<std::string_view> flagOptions, int& status) {
    Arguments a;
    const std::string name(command);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "-o" || valueOptions.count(arg) != 0) {
            if (i + 1 >= args.size()) {
                status = usageError(name + ": " + std::string(arg) + " needs a value");
                return std::nullopt;
            }
            if (arg == "-o") {
                a.output = std::string(args[++i]);
            } else {
                a.values[arg] = args[++i];
            }
        } else if (flagOptions.count(arg) != 0) {
            a.flags.insert(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
            status = usageError(name + ": unknown option " + std::string(arg));
            return std::nullopt;
        } else if (a.input.empty()) {
            a.input = std::string(arg);
        } else {
            status = usageError(name + ": more than one input file");
            return std::nullopt;
        }
    }
    if (a.input.empty() || a.output.empty()) {
        status = usageError(name + ": give an input file and -o OUT.bmp");
        return std::nullopt;
    }
    return a;
}

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Reads a BMP file and expands RLE data; reports and returns null on failure.
PictureBuffer readPicture(const std::string& path) {
    ReadResult read = readBmpFile(path);
    if (!read) {
        reportFailure(path, static_cast<int>(read.code), resultName(read.code));
        return {};
    }
    const Compression stored = read.picture.compression();
    if ((stored == Compression::Rle8 || stored == Compression::Rle4) && !expandRle(read.picture)) {
        reportFailure(path, static_cast<int>(ResultCode::BrokenData),
                      "RLE data runs past the end of a row; data broken");
        return {};
    }
    return std::move(read.picture);
}

int writePicture(const std::string& path, const PictureBuffer& picture) {
    if (!writeBmpFile(path, picture)) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", path.c_str());
        return 1;
    }
    return 0;
}

int outOfMemory(const std::string& what) {
    reportFailure(what, static_cast<int>(ResultCode::OutOfMemory),
                  resultName(ResultCode::OutOfMemory));
    return 1;
}

// "N:w1,w2,..." with N from 1 to 5.
std::optional<UnsharpSettings> kernelOf(std::string_view text) {
    const std::size_t colon = text.find(':');
    const auto side = number<int>(text.substr(0, colon));
    if (colon == std::string_view::npos || !side || *side < 1 || *side > 5) {
        return std::nullopt;
    }
    UnsharpSettings s;
    s.apply(*side, text.substr(colon + 1), "0.5");
    return s;
}

std::string kernelText(const UnsharpSettings& s) {
    std::string text = std::to_string(s.side) + ":";
    for (std::size_t i = 0; i < s.kernel.size(); ++i) {
        if (i != 0) {
            text += ',';
        }
        text += std::to_string(s.kernel[i]);
    }
    return text;
}

} // namespace

std::optional<PictureSize> sizeOf(std::string_view text) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) {
        return std::nullopt;
    }
    const auto w = number<int>(text.substr(0, x));
    const auto h = number<int>(text.substr(x + 1));
    if (!w || !h || *w <= 0 || *h <= 0) {
        return std::nullopt;
    }
    return PictureSize{*w, *h};
}

int runScale(std::span<const std::string_view> args) {
    int status = 2;
    const auto a = parse("scale", args, {"--size", "--mode", "--angle"}, {}, status);
    if (!a) {
        return status;
    }
    const auto size = a->values.count("--size") ? sizeOf(a->values.at("--size")) : std::nullopt;
    if (!size) {
        return usageError("scale: --size WxH is required, both positive");
    }
    std::optional<ScaleMode> mode = ScaleMode::Automatic;
    if (a->has("--mode")) {
        const auto n = number<int>(a->values.at("--mode"));
        mode = n ? scaleModeFromInt(*n) : std::nullopt;
        if (!mode) {
            return usageError("scale: --mode is 0, 1, 2, 3 or 10");
        }
    }
    const auto angle = a->has("--angle") ? number<double>(a->values.at("--angle")) : 0.0;
    if (!angle) {
        return usageError("scale: --angle takes a number of degrees");
    }
    const PictureBuffer picture = readPicture(a->input);
    if (!picture) {
        return 1;
    }
    const PictureBuffer scaled = scalePicture(picture, size->width, size->height, *angle, *mode);
    if (!scaled) {
        reportFailure(a->input, static_cast<int>(ResultCode::Failure),
                      "cannot scale to this size (too large, or out of memory)");
        return 1;
    }
    return writePicture(a->output, scaled);
}

int runRotate(std::span<const std::string_view> args) {
    int status = 2;
    const auto a = parse("rotate", args, {"--angle"}, {}, status);
    if (!a) {
        return status;
    }
    const auto angle = a->has("--angle") ? number<double>(a->values.at("--angle")) : std::nullopt;
    if (!angle) {
        return usageError("rotate: --angle DEG is required");
    }
    const PictureBuffer picture = readPicture(a->input);
    if (!picture) {
        return 1;
    }
    const PictureBuffer rotated = rotatePicture(picture, *angle);
    if (!rotated) {
        reportFailure(a->input, static_cast<int>(ResultCode::Failure),
                      "the turned picture would be too large, or memory ran out");
        return 1;
    }
    return writePicture(a->output, rotated);
}

namespace {

int inPlace(std::string_view command, std::span<const std::string_view> args,
            bool (*transform)(PictureBuffer&)) {
    int status = 2;
    const auto a = parse(command, args, {}, {}, status);
    if (!a) {
        return status;
    }
    PictureBuffer picture = readPicture(a->input);
    if (!picture) {
        return 1;
    }
    if (!transform(picture)) {
        reportFailure(a->input, static_cast<int>(ResultCode::UnsupportedKind),
                      resultName(ResultCode::UnsupportedKind));
        return 1;
    }
    return writePicture(a->output, picture);
}

} // namespace

int runMirror(std::span<const std::string_view> args) {
    return inPlace("mirror", args, mirrorPicture);
}

int runFlip(std::span<const std::string_view> args) {
    return inPlace("flip", args, flipPicture);
}

int runUnsharp(std::span<const std::string_view> args) {
    int status = 2;
    const auto a = parse("unsharp", args,
                         {"--amount", "--kernel", "--cross", "--decoded", "--full", "--level"},
                         {"--thumbnail"}, status);
    if (!a) {
        return status;
    }
    const bool thumbnail = a->has("--thumbnail");
    const int ways =
        (a->has("--amount") ? 1 : 0) + (a->has("--cross") ? 1 : 0) + (thumbnail ? 1 : 0);
    if (ways != 1) {
        return usageError("unsharp: give one of --amount A, --cross A or --thumbnail");
    }
    UnsharpSettings settings;
    if (a->has("--kernel")) {
        const auto k = kernelOf(a->values.at("--kernel"));
        if (!k) {
            return usageError("unsharp: --kernel is N:w1,w2,... with N from 1 to 5");
        }
        settings.side = k->side;
        settings.kernel = k->kernel;
    }
    std::optional<PictureSize> decoded;
    std::optional<PictureSize> full;
    if (thumbnail) {
        decoded = a->has("--decoded") ? sizeOf(a->values.at("--decoded")) : std::nullopt;
        full = a->has("--full") ? sizeOf(a->values.at("--full")) : decoded;
        const auto level = a->has("--level") ? number<double>(a->values.at("--level")) : 0.5;
        if (!decoded || !full || !level) {
            return usageError("unsharp: --thumbnail needs --decoded WxH, and takes --full WxH "
                              "and --level L");
        }
        settings.level = *level >= 0 && *level <= 1 ? *level : 0;
    }
    const auto amount =
        thumbnail ? 0.0 : number<double>(a->values.at(a->has("--cross") ? "--cross" : "--amount"));
    if (!amount) {
        return usageError("unsharp: the amount is a number");
    }
    PictureBuffer picture = readPicture(a->input);
    if (!picture) {
        return 1;
    }
    // Sharpening works in colour, so palette and deep pictures are converted.
    if (!convertTo24Bits(picture)) {
        reportFailure(a->input, static_cast<int>(ResultCode::UnsupportedKind),
                      "cannot convert this depth to 24 bits; unsupported kind of picture");
        return 1;
    }
    PictureBuffer result;
    if (thumbnail) {
        const SharpeningChoice choice = chooseThumbnailSharpening(
            {picture.width(), picture.height()}, *decoded, *full, settings.level);
        const char* kind = choice.kind == SharpeningKind::Cross    ? "cross"
                           : choice.kind == SharpeningKind::Kernel ? "kernel"
                                                                   : "none";
        std::fprintf(stderr, "strength %.4f %s%s%s\n", choice.strength, kind,
                     choice.kind == SharpeningKind::Kernel ? " " : "",
                     choice.kind == SharpeningKind::Kernel ? kernelText(settings).c_str() : "");
        result = sharpenThumbnail(picture, *decoded, *full, settings);
        if (!result && choice.kind != SharpeningKind::None) {
            return outOfMemory(a->input);
        }
        return writePicture(a->output, result ? result : picture);
    }
    result = a->has("--cross") ? unsharpCross(picture, *amount)
                               : unsharp(picture, *amount, settings.side, settings.kernel);
    if (!result) {
        return outOfMemory(a->input);
    }
    return writePicture(a->output, result);
}

} // namespace vemra::cli
