#include "picture_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "plugin_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vemra::cli {

void reportFailure(std::string_view what, int code, std::string_view name) {
    std::fprintf(stderr, "vemra-cli: %.*s: %.*s (result %d)\n", static_cast<int>(what.size()),
                 what.data(), static_cast<int>(name.size()), name.data(), code);
}

int usageError(std::string_view message) {
    std::fprintf(stderr, "vemra-cli: %.*s\nTry 'vemra-cli --help'.\n",
                 static_cast<int>(message.size()), message.data());
    return 2;
}

namespace {

bool readOrReport(const std::string& path, ReadResult& out) {
    out = readBmpFile(path);
    if (!out) {
        reportFailure(path, static_cast<int>(out.code), resultName(out.code));
        return false;
    }
    return true;
}

} // namespace

int runIdentify(std::span<const std::string_view> args) {
    if (args.empty()) {
        return usageError("identify: no files given");
    }
    int status = 0;
    for (const std::string_view arg : args) {
        const std::string path(arg);
        ReadResult read;
        if (!readOrReport(path, read)) {
            status = 1;
            continue;
        }
        const PictureBuffer& p = read.picture;
        std::printf("%s\tBMP\t%d\t%d\t%d\n", path.c_str(), p.width(), p.height(), p.bitCount());
    }
    return status;
}

int runInfo(std::span<const std::string_view> args) {
    if (args.size() != 1) {
        return usageError("info: give exactly one file");
    }
    ReadResult read;
    if (!readOrReport(std::string(args[0]), read)) {
        return 1;
    }
    const PictureBuffer& p = read.picture;
    const auto header = p.header();
    std::printf("%d\t%d\t%d\t%u\t%u\t%zu\n", p.width(), p.height(), p.bitCount(),
                static_cast<unsigned>(p.compression()), header ? header->coloursUsed : 0u,
                p.totalBytes());
    return 0;
}

int runDecode(std::span<const std::string_view> args) {
    if (std::find(args.begin(), args.end(), "--plugin") != args.end()) {
        return runPluginDecode(args);
    }
    std::string input;
    std::string output;
    bool to24 = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) {
                return usageError("decode: -o needs a file name");
            }
            output = std::string(args[++i]);
        } else if (args[i] == "--to24") {
            to24 = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usageError("decode: unknown option " + std::string(args[i]));
        } else if (input.empty()) {
            input = std::string(args[i]);
        } else {
            return usageError("decode: more than one input file");
        }
    }
    if (input.empty() || output.empty()) {
        return usageError("decode: usage is decode FILE -o OUT.bmp [--to24]");
    }
    ReadResult read;
    if (!readOrReport(input, read)) {
        return 1;
    }
    PictureBuffer picture = std::move(read.picture);
    const Compression stored = picture.compression();
    if ((stored == Compression::Rle8 || stored == Compression::Rle4) && !expandRle(picture)) {
        reportFailure(input, static_cast<int>(ResultCode::BrokenData),
                      "RLE data runs past the end of a row; data broken");
        return 1;
    }
    if (to24 && !convertTo24Bits(picture)) {
        reportFailure(input, static_cast<int>(ResultCode::UnsupportedKind),
                      "cannot convert this depth to 24 bits; unsupported kind of picture");
        return 1;
    }
    if (!writeBmpFile(output, picture)) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", output.c_str());
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
