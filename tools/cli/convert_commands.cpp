#include "convert_commands.h"

#include "document/conversion_pool.h"
#include "document/document_options.h"
#include "document/same_name_rule.h"
#include "document/save_in_format.h"
#include "document/shared_registry_decoder.h"
#include "document/transfer_files.h"
#include "framework/ensure_folder.h"
#include "picture_commands.h"
#include "platform/file_status.h"
#include "platform/path_parts.h"
#include "registry_cli.h"
#include "settings/settings_store.h"

#include <charconv>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace vemra::cli {
namespace {

constexpr std::string_view kUsage =
    "convert: usage is convert FILE... -d DEST [--format bmp|jpeg|png] [--size WxH "
    "[--no-aspect] | --factor F] [--scale-mode 0|1|2|3|10] [--unsharp] [--angle A] "
    "[--quality Q] [--progressive] [--quant 8] [--same 0-5] [-j N]";

bool readInt(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

struct ConvertArguments {
    std::vector<std::string> files;
    std::string destination;
    SaveFormatOptions options;
    SameNameAction same = SameNameAction::Skip;
    int threads = defaultConversionThreads();
};

std::optional<ConvertArguments> parse(std::span<const std::string_view> args) {
    ConvertArguments a;
    // Scripts get the browser's defaults, except that they want JPEG and
    // the automatic scaling method rather than BMP and the plain stretch.
    a.options.format = SaveFormatOptions::Jpeg;
    a.options.scaleMode = 10;
    bool sized = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string_view value = hasValue ? args[i + 1] : std::string_view();
        auto take = [&] { ++i; };
        if (arg == "-d" && hasValue) {
            a.destination = std::string(value);
            take();
        } else if (arg == "--format" && hasValue) {
            if (value == "bmp")
                a.options.format = SaveFormatOptions::Bmp;
            else if (value == "jpeg" || value == "jpg")
                a.options.format = SaveFormatOptions::Jpeg;
            else if (value == "png")
                a.options.format = SaveFormatOptions::Png;
            else
                return std::nullopt;
            take();
        } else if (arg == "--size" && hasValue && !sized) {
            const auto x = value.find('x');
            if (x == std::string_view::npos ||
                !readInt(value.substr(0, x), 1, 65535, a.options.width) ||
                !readInt(value.substr(x + 1), 1, 65535, a.options.height))
                return std::nullopt;
            a.options.sizeMode = SaveFormatOptions::FitSize;
            sized = true;
            take();
        } else if (arg == "--no-aspect") {
            a.options.aspect = false;
        } else if (arg == "--factor" && hasValue && !sized) {
            a.options.scale = std::string(value);
            a.options.sizeMode = SaveFormatOptions::Factor;
            if (a.options.factor() <= 0)
                return std::nullopt;
            sized = true;
            take();
        } else if (arg == "--scale-mode" && hasValue) {
            int mode = 0;
            if (!readInt(value, 0, 10, mode) || (mode > 3 && mode != 10))
                return std::nullopt;
            a.options.scaleMode = mode;
            take();
        } else if (arg == "--unsharp") {
            a.options.unsharp = true;
        } else if (arg == "--angle" && hasValue) {
            if (!readInt(value, 0, 360, a.options.rotateAngle))
                return std::nullopt;
            take();
        } else if (arg == "--quality" && hasValue) {
            if (!readInt(value, 0, 100, a.options.jpegQuality))
                return std::nullopt;
            take();
        } else if (arg == "--progressive") {
            a.options.jpegProgressive = true;
        } else if (arg == "--quant" && hasValue && value == "8") {
            a.options.bmpQuant = 8;
            a.options.pngQuant = 8;
            take();
        } else if (arg == "--same" && hasValue) {
            int same = 0;
            // Renaming asks for each name, which a script cannot give.
            if (!readInt(value, 0, 5, same) || same == 3)
                return std::nullopt;
            a.same = sameNameActionFrom(same, SameNameAction::Skip);
            take();
        } else if (arg == "-j" && hasValue) {
            if (!readInt(value, 1, 64, a.threads))
                return std::nullopt;
            take();
        } else if (arg.starts_with("-")) {
            return std::nullopt;
        } else {
            a.files.emplace_back(arg);
        }
    }
    if (a.files.empty() || a.destination.empty())
        return std::nullopt;
    return a;
}

// The target of one picture under the same-name rule: an existing file, or
// one an earlier picture of this run goes to, is skipped, replaced (only an
// existing file: two pictures of one run never write one target), or
// avoided with the next free number. Empty: skip.
std::string targetFor(const std::string& wanted, SameNameAction same,
                      const std::string& numberFormat, const std::set<std::string>& claimed) {
    const bool taken = claimed.contains(wanted);
    if (!taken && !fileStatus(wanted))
        return wanted;
    switch (same) {
    case SameNameAction::AutoNumber: {
        const auto dot = wanted.find_last_of('.');
        const std::string base = wanted.substr(0, dot);
        const std::string extension = wanted.substr(dot);
        for (int n = 2; n < 1000000; ++n) {
            std::string name = autoNumberedName(numberFormat, base, n, extension);
            if (!claimed.contains(name) && !fileStatus(name))
                return name;
        }
        return {};
    }
    case SameNameAction::Skip:
        return {};
    default:
        return taken ? std::string() : wanted;
    }
}

} // namespace

int runConvert(std::span<const std::string_view> args) {
    const auto a = parse(args);
    if (!a)
        return usageError(kUsage);
    const std::string destination = absoluteFolder(a->destination).value_or(a->destination);
    if (!folderReady(ensureFolder(destination, {}, [](const std::string& text) {
            std::fprintf(stderr, "vemra-cli: %s\n", escapeText(text).c_str());
        })))
        return 1;

    const auto registry = openRegistry();
    const DocumentOptions document = DocumentOptions::load(settings());
    ConversionSettings conversion;
    conversion.options = a->options;
    conversion.sharpening = document.sharpening();
    conversion.manageColours = document.colorManagement;
    SharedRegistryDecoder decoder(*registry);

    struct Planned {
        std::string source;
        std::string target;
    };
    std::vector<Planned> planned;
    std::vector<ConversionJob> jobs;
    std::set<std::string> claimed;
    int status = 0;
    for (const std::string& file : a->files) {
        const std::string wanted = saveTarget(destination, namePartOf(file), a->options);
        const auto source = isExistingFile(file) ? decoder.prepare(file) : std::nullopt;
        if (!source) {
            std::printf("failed\t%s\t%s\t%s\n", escapeText(file).c_str(),
                        escapeText(wanted).c_str(),
                        isExistingFile(file) ? "no decoder takes it" : "no such file");
            status = 1;
            continue;
        }
        const std::string target = targetFor(wanted, a->same, document.autoFileFormat, claimed);
        if (target.empty()) {
            std::printf("skipped\t%s\t%s\n", escapeText(file).c_str(), escapeText(wanted).c_str());
            continue;
        }
        claimed.insert(target);
        planned.push_back({file, target});
        jobs.push_back({target, source->full, decoder.decodeFor(*source), file});
    }
    if (a->options.scaleMode == 0)
        ensureGuiApplication(); // the plain stretch paints through Qt

    runConversions(std::move(jobs), conversion, a->threads,
                   [&](std::size_t i, const ConversionJobResult& result) {
                       const Planned& p = planned[i];
                       if (result.written) {
                           std::printf("converted\t%s\t%s\n", escapeText(p.source).c_str(),
                                       escapeText(p.target).c_str());
                       } else {
                           std::printf("failed\t%s\t%s\t%s\n", escapeText(p.source).c_str(),
                                       escapeText(p.target).c_str(),
                                       result.decodeCode != 0 ? "cannot be decoded"
                                                              : "cannot be written");
                           status = 1;
                       }
                       return false;
                   });
    return status;
}

} // namespace vemra::cli
