// identify and decode through the decoder registry: the plug-ins in use,
// then the built-in decoders in their fixed order.

#include "decode_commands.h"

#include "encode_commands.h"
#include "picture_commands.h"
#include "registry_cli.h"

#include "imaging/bmp_file.h"
#include "imaging/decoder_registry.h"
#include "imaging/picture_convert.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

void report(std::string_view what, int code) {
    reportFailure(what, code, resultName(static_cast<ResultCode>(code)));
}

template <typename Number> bool parseNumber(std::string_view text, Number& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

// `decode` arguments. Each option is one branch of parseDecodeArguments.
struct DecodeArguments {
    std::string input;
    std::string output;
    std::string decoder;   // a decoder's name or number, empty to identify
    bool byPlugin = false; // named with --plugin rather than --decoder
    int reduction = 1;
    std::intptr_t offset = 0;
    bool to24 = false;
    OutputOptions out;
};

// nullopt after a usage error has been printed (`status` holds 2).
std::optional<DecodeArguments> parseDecodeArguments(std::span<const std::string_view> args,
                                                    int& status) {
    DecodeArguments a;
    auto fail = [&status](const std::string& message) {
        status = usageError("decode: " + message);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        bool badValue = false;
        if (parseOutputOption(args, i, a.out, badValue)) {
            if (badValue) {
                return fail("bad value for " + std::string(arg));
            }
            continue;
        }
        const bool takesValue = arg == "-o" || arg == "--decoder" || arg == "--plugin" ||
                                arg == "--reduce" || arg == "--offset";
        if (takesValue && i + 1 >= args.size()) {
            return fail(std::string(arg) + " needs a value");
        }
        if (arg == "-o") {
            a.output = std::string(args[++i]);
        } else if (arg == "--decoder" || arg == "--plugin") {
            a.byPlugin = arg == "--plugin";
            a.decoder = std::string(args[++i]);
        } else if (arg == "--reduce") {
            if (!parseNumber(args[++i], a.reduction) || a.reduction < 1) {
                return fail("--reduce needs a whole number of at least 1");
            }
        } else if (arg == "--offset") {
            if (!parseNumber(args[++i], a.offset) || a.offset < 0) {
                return fail("--offset needs a byte offset of at least 0");
            }
        } else if (arg == "--to24") {
            a.to24 = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + std::string(arg));
        } else if (a.input.empty()) {
            a.input = std::string(arg);
        } else {
            return fail("more than one input file");
        }
    }
    if (a.input.empty() || a.output.empty()) {
        return fail("usage is decode FILE -o OUT [--decoder ID] [--reduce N] [--offset N] "
                    "[--to24] [output options]");
    }
    return a;
}

// The decoder named on the command line: a number (a built-in id or a
// plug-in position) or a name (a built-in label, or a plug-in's file name
// with or without ".spi").
DecoderId namedDecoder(const DecoderRegistry& registry, std::string name) {
    int number = 0;
    if (parseNumber(name, number)) {
        return registry.name(number, DecoderKind::Picture).empty() ? kNoDecoder : number;
    }
    if (name.size() > 4) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (tail == ".spi") {
            name.resize(name.size() - 4);
        }
    }
    return registry.find(name, DecoderKind::Picture);
}

DecoderId identifyThrough(DecoderRegistry& registry, const std::string& path,
                          std::intptr_t offset) {
    IdentifyRequest request;
    request.fileName = path;
    request.offset = offset;
    return registry.identify(request);
}

} // namespace

int runIdentify(std::span<const std::string_view> args) {
    if (args.empty()) {
        return usageError("identify: no files given");
    }
    const auto registry = openRegistry();
    int status = 0;
    for (const std::string_view arg : args) {
        const std::string path(arg);
        if (::access(path.c_str(), R_OK) != 0) {
            report(path, static_cast<int>(ResultCode::OpenFailure));
            status = 1;
            continue;
        }
        const DecoderId id = identifyThrough(*registry, path, 0);
        if (id == kIdentifyFault) {
            report(path, static_cast<int>(ResultCode::Failure));
            status = 1;
            continue;
        }
        if (id < 0) {
            std::printf("%s\t\t0\t0\t0\t\n", path.c_str());
            continue;
        }
        if (id == kTextDecoderId) {
            ensureGuiApplication();
        }
        PluginPictureInfo info;
        const int code = registry->info(id, PluginSource::file(path), info);
        if (code != 0) {
            report(path, code);
            status = 1;
            continue;
        }
        std::printf("%s\t%s\t%d\t%d\t%d\t%s\n", path.c_str(),
                    registry->name(id, DecoderKind::Picture).c_str(), info.width, info.height,
                    info.bitCount, escapeText(info.comment).c_str());
    }
    return status;
}

int runDecode(std::span<const std::string_view> args) {
    int status = 0;
    const auto a = parseDecodeArguments(args, status);
    if (!a) {
        return status;
    }
    const auto registry = openRegistry();
    DecoderId id = kNoDecoder;
    if (!a->decoder.empty()) {
        id = namedDecoder(*registry, a->decoder);
        if (id < 0 && !a->byPlugin) {
            return usageError("decode: no decoder " + a->decoder);
        }
        if (id < 0) {
            std::fprintf(stderr, "vemra-cli: %s: no such picture plug-in in use\n",
                         a->decoder.c_str());
            return 1;
        }
    } else {
        if (::access(a->input.c_str(), R_OK) != 0) {
            report(a->input, static_cast<int>(ResultCode::OpenFailure));
            return 1;
        }
        id = identifyThrough(*registry, a->input, a->offset);
        if (id < 0) {
            reportFailure(a->input, static_cast<int>(ResultCode::InvalidData),
                          "no decoder takes this file");
            return 1;
        }
    }
    if (id == kTextDecoderId) {
        ensureGuiApplication();
    }
    DecodeOptions options;
    options.reduction = a->reduction;
    PictureBuffer picture;
    const int code =
        registry->picture(id, PluginSource::file(a->input, a->offset), picture, options);
    if (code != 0 || !picture) {
        report(a->input, code != 0 ? code : static_cast<int>(ResultCode::Failure));
        return 1;
    }
    const Compression stored = picture.compression();
    if ((stored == Compression::Rle8 || stored == Compression::Rle4) && !expandRle(picture)) {
        report(a->input, static_cast<int>(ResultCode::BrokenData));
        return 1;
    }
    if (a->to24 && !convertTo24Bits(picture)) {
        reportFailure(a->input, static_cast<int>(ResultCode::UnsupportedKind),
                      "cannot convert this depth to 24 bits; unsupported kind of picture");
        return 1;
    }
    return writeByExtension(a->output, picture, a->out);
}

} // namespace vemra::cli
