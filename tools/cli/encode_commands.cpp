#include "encode_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/colour_reduction.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/picture_convert.h"
#include "imaging/picture_save.h"
#include "imaging/png_encoder.h"
#include "picture_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace vemra::cli {
namespace {

std::string lowerExtension(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool parseInt(std::string_view text, int& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

int writeByExtension(const std::string& path, const PictureBuffer& picture,
                     const OutputOptions& options) {
    const std::string ext = lowerExtension(path);
    bool ok = false;
    if (ext == "bmp") {
        ok = saveBmp(path, picture, options.bits);
    } else if (ext == "png") {
        ok = savePng(path, picture, options.bits);
    } else if (ext == "jpg" || ext == "jpeg") {
        JpegOptions jpeg;
        jpeg.quality = options.quality;
        jpeg.progressive = options.progressive;
        jpeg.grey = options.grey;
        ok = writeJpegFile(path, picture, jpeg);
    } else {
        return usageError("cannot tell the output format from '" + path +
                          "' (use .bmp, .png, .jpg or .jpeg)");
    }
    if (!ok) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", path.c_str());
        return 1;
    }
    return 0;
}

bool parseOutputOption(std::span<const std::string_view> args, std::size_t& i,
                       OutputOptions& options, bool& usageFault) {
    const std::string_view a = args[i];
    if (a == "--progressive") {
        options.progressive = true;
        return true;
    }
    if (a == "--grey" || a == "--gray") {
        options.grey = true;
        return true;
    }
    if (a == "--quality" || a == "--bits") {
        int value = 0;
        if (i + 1 >= args.size() || !parseInt(args[i + 1], value)) {
            usageFault = true;
            return true;
        }
        ++i;
        if (a == "--quality") {
            usageFault = value < 0 || value > 100;
            options.quality = value;
        } else {
            usageFault = value != 1 && value != 4 && value != 8 && value != 24;
            options.bits = value;
        }
        return true;
    }
    return false;
}

int runReduce(std::span<const std::string_view> args) {
    std::string input;
    std::string output;
    ReductionOptions reduction;
    OutputOptions out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        bool fault = false;
        int value = 0;
        if (a == "-o" && i + 1 < args.size()) {
            output = std::string(args[++i]);
        } else if (a == "--mode" && i + 1 < args.size() && parseInt(args[i + 1], value) &&
                   value >= 0 && value <= 4) {
            reduction.mode = static_cast<MappingMode>(value);
            ++i;
        } else if (a == "--transparent-corner" && i + 1 < args.size() &&
                   parseInt(args[i + 1], value) && value >= 0 && value <= 3) {
            reduction.transparentCorner = value;
            ++i;
        } else if (a == "--reserve-system") {
            reduction.reserveSystemColours = true;
        } else if (parseOutputOption(args, i, out, fault)) {
            if (fault) {
                return usageError("reduce: bad value for " + std::string(a));
            }
        } else if (!a.empty() && a[0] != '-' && input.empty()) {
            input = std::string(a);
        } else {
            return usageError("reduce: unexpected argument '" + std::string(a) + "'");
        }
    }
    if (input.empty() || output.empty()) {
        return usageError("reduce: usage is reduce IN -o OUT [--mode 0-4] [--reserve-system] "
                          "[--transparent-corner 0-3]");
    }
    ReadResult read = readBmpFile(input);
    if (!read) {
        reportFailure(input, static_cast<int>(read.code), resultName(read.code));
        return 1;
    }
    const PictureBuffer reduced = reduceColours(read.picture, reduction);
    if (!reduced) {
        reportFailure(input, static_cast<int>(ResultCode::OutOfMemory),
                      "the colours could not be reduced");
        return 1;
    }
    std::fprintf(stderr, "%d colours, %d bits\n", reduced.colourEntries(), reduced.bitCount());
    out.bits = 0; // already reduced
    return writeByExtension(output, reduced, out);
}

} // namespace vemra::cli
