// identify and decode: the built-in decoders, asked in their fixed order.

#include "decode_commands.h"

#include "encode_commands.h"
#include "picture_commands.h"
#include "plugin_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/decoder.h"
#include "imaging/picture_convert.h"

#include <QGuiApplication>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace vemra::cli {
namespace {

// Text pictures are rendered with fonts, which need a GUI application; it
// is made only when such a picture is met, on the offscreen platform unless
// another one is set.
void ensureGuiApplication(DecoderId id) {
    if (id != kTextDecoderId || QGuiApplication::instance() != nullptr) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "vemra-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// The first 2048 bytes of `path` from `offset`, zero-padded; nullopt when
// the file cannot be opened or read.
std::optional<std::array<char, SPI_HEADER_BYTES>> readHeader(const std::string& path,
                                                             std::intptr_t offset) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::array<char, SPI_HEADER_BYTES> header{};
    const ssize_t got = ::pread(fd, header.data(), header.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (got < 0) {
        return std::nullopt;
    }
    return header;
}

const BuiltinDecoder* identifyFile(const std::string& path, const char* header) {
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (d.identify(path.c_str(), header)) {
            return &d;
        }
    }
    return nullptr;
}

// Tabs, line breaks and backslashes escaped so that one file stays one line.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

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
    const BuiltinDecoder* decoder = nullptr;
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
        const bool takesValue =
            arg == "-o" || arg == "--decoder" || arg == "--reduce" || arg == "--offset";
        if (takesValue && i + 1 >= args.size()) {
            return fail(std::string(arg) + " needs a value");
        }
        if (arg == "-o") {
            a.output = std::string(args[++i]);
        } else if (arg == "--decoder") {
            const std::string_view value = args[++i];
            int id = 0;
            a.decoder = parseNumber(value, id) ? findBuiltinDecoder(id) : findBuiltinDecoder(value);
            if (a.decoder == nullptr) {
                return fail("no built-in decoder " + std::string(value));
            }
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

} // namespace

int runIdentify(std::span<const std::string_view> args) {
    if (args.empty()) {
        return usageError("identify: no files given");
    }
    int status = 0;
    for (const std::string_view arg : args) {
        const std::string path(arg);
        const auto header = readHeader(path, 0);
        if (!header) {
            report(path, static_cast<int>(ResultCode::OpenFailure));
            status = 1;
            continue;
        }
        const BuiltinDecoder* decoder = identifyFile(path, header->data());
        if (decoder == nullptr) {
            std::printf("%s\t\t0\t0\t0\t\n", path.c_str());
            continue;
        }
        ensureGuiApplication(decoder->id);
        PictureInfo info{};
        const int code = decoder->info(path.c_str(), 0, SPI_SOURCE_FILE, info);
        const std::unique_ptr<void, void (*)(void*)> comment(info.hInfo, SpiFree);
        if (code != 0) {
            report(path, code);
            status = 1;
            continue;
        }
        const std::string text =
            comment ? escaped(static_cast<const char*>(comment.get())) : std::string();
        std::printf("%s\t%.*s\t%d\t%d\t%d\t%s\n", path.c_str(),
                    static_cast<int>(decoder->label.size()), decoder->label.data(), info.width,
                    info.height, info.colorDepth, text.c_str());
    }
    return status;
}

int runDecode(std::span<const std::string_view> args) {
    if (std::find(args.begin(), args.end(), "--plugin") != args.end()) {
        return runPluginDecode(args);
    }
    int status = 0;
    const auto a = parseDecodeArguments(args, status);
    if (!a) {
        return status;
    }
    const BuiltinDecoder* decoder = a->decoder;
    if (decoder == nullptr) {
        const auto header = readHeader(a->input, a->offset);
        if (!header) {
            report(a->input, static_cast<int>(ResultCode::OpenFailure));
            return 1;
        }
        decoder = identifyFile(a->input, header->data());
        if (decoder == nullptr) {
            reportFailure(a->input, static_cast<int>(ResultCode::InvalidData),
                          "no built-in decoder takes this file");
            return 1;
        }
    }
    ensureGuiApplication(decoder->id);
    DecodeOptions options;
    options.reduction = a->reduction;
    PictureBuffer picture;
    const int code =
        decoder->picture(a->input.c_str(), a->offset, SPI_SOURCE_FILE, picture, options);
    if (code != 0 || !picture) {
        report(a->input, code != 0 ? code : static_cast<int>(ResultCode::Failure));
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
