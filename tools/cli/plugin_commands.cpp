#include "plugin_commands.h"

#include "imaging/bmp_file.h"
#include "imaging/picture_convert.h"
#include "imaging/plugin_module.h"
#include "picture_commands.h"
#include "platform/atomic_file.h"
#include "platform/byte_source.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vemra::cli {

namespace {

namespace fs = std::filesystem;

// Options shared by the plug-in commands, plus the plain arguments.
struct Options {
    std::string pluginDir;
    std::string plugin;
    std::string output;
    bool to24 = false;
    std::vector<std::string> plain;
};

// Parses "--plugins DIR", "--plugin NAME", "-o FILE" and "--to24" (each only
// where the command allows it); nullopt after printing a usage error.
std::optional<Options> parse(std::string_view command, std::span<const std::string_view> args,
                             std::string_view allowed, int& status) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool known = a == "--plugins" || a == "--plugin" || a == "-o" || a == "--to24";
        if (known && allowed.find(std::string(a) + " ") == std::string_view::npos) {
            status = usageError(std::string(command) + ": unknown option " + std::string(a));
            return std::nullopt;
        }
        if (a == "--to24") {
            o.to24 = true;
            continue;
        }
        if (known) {
            if (i + 1 >= args.size()) {
                status =
                    usageError(std::string(command) + ": " + std::string(a) + " needs a value");
                return std::nullopt;
            }
            std::string& target = a == "--plugins"  ? o.pluginDir
                                  : a == "--plugin" ? o.plugin
                                                    : o.output;
            target = std::string(args[++i]);
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            status = usageError(std::string(command) + ": unknown option " + std::string(a));
            return std::nullopt;
        }
        o.plain.emplace_back(a);
    }
    return o;
}

// The plug-ins are built beside the program's own build folder:
// <build>/tools/cli/vemra-cli and <build>/plugins.
std::string defaultPluginDir() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return "plugins";
    }
    return (exe.parent_path() / ".." / ".." / "plugins").lexically_normal().string();
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

// The *.spi files of a folder (any case), sorted by name.
std::vector<std::string> pluginFiles(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, error)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 4 && lowered(name.substr(name.size() - 4)) == ".spi" &&
            e.is_regular_file(error)) {
            files.push_back(e.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

const char* codeName(ResultCode code) {
    return static_cast<int>(code) == SPI_END_OF_FILE ? "no such member" : resultName(code);
}

int failed(const std::string& what, ResultCode code) {
    reportFailure(what, static_cast<int>(code), codeName(code));
    return 1;
}

// The first bytes of a file, as identification wants them.
std::optional<std::vector<std::byte>> fileHeader(const std::string& path) {
    const std::optional<FileSource> file = FileSource::open(path);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::byte> header(
        static_cast<std::size_t>(std::min<std::uint64_t>(file->size(), SPI_HEADER_BYTES)));
    if (!file->readAt(0, header)) {
        return std::nullopt;
    }
    return header;
}

// The first archive plug-in of the folder that takes `archive`.
std::optional<PluginModule> archivePluginFor(const std::string& dir, const std::string& archive,
                                             int& status) {
    const std::optional<std::vector<std::byte>> header = fileHeader(archive);
    if (!header) {
        status = failed(archive, ResultCode::OpenFailure);
        return std::nullopt;
    }
    for (const std::string& path : pluginFiles(dir)) {
        std::optional<PluginModule> module = PluginModule::open(path);
        if (module && module->kind() == PluginKind::Archive &&
            module->isSupported(archive, *header)) {
            return module;
        }
    }
    std::fprintf(stderr, "vemra-cli: %s: no archive plug-in in %s takes this file\n",
                 archive.c_str(), dir.c_str());
    status = 1;
    return std::nullopt;
}

std::string field(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '\t', ' ');
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

} // namespace

int runPlugins(std::span<const std::string_view> args) {
    int status = 0;
    const std::optional<Options> o = parse("plugins", args, "--plugins ", status);
    if (!o) {
        return status;
    }
    if (!o->plain.empty()) {
        return usageError("plugins: usage is plugins [--plugins DIR]");
    }
    const std::string dir = o->pluginDir.empty() ? defaultPluginDir() : o->pluginDir;
    if (!fs::is_directory(dir)) {
        std::fprintf(stderr, "vemra-cli: %s: no such plug-in folder\n", dir.c_str());
        return 1;
    }
    for (const std::string& path : pluginFiles(dir)) {
        std::string error;
        const std::optional<PluginModule> module = PluginModule::open(path, &error);
        if (!module) {
            std::fprintf(stderr, "vemra-cli: %s: %s\n", path.c_str(), error.c_str());
            status = 1;
            continue;
        }
        std::printf("%s\t%s\t%s\t%s\n", field(module->name()).c_str(),
                    field(module->typeString()).c_str(), field(module->description()).c_str(),
                    field(module->extensionList()).c_str());
    }
    return status;
}

int runList(std::span<const std::string_view> args) {
    int status = 0;
    const std::optional<Options> o = parse("list", args, "--plugins ", status);
    if (!o) {
        return status;
    }
    if (o->plain.size() != 1) {
        return usageError("list: usage is list ARCHIVE [--plugins DIR]");
    }
    const std::string& archive = o->plain[0];
    const std::optional<PluginModule> module =
        archivePluginFor(o->pluginDir.empty() ? defaultPluginDir() : o->pluginDir, archive, status);
    if (!module) {
        return status;
    }
    std::vector<ArchiveEntry> members;
    bool gotList = false;
    ResultCode code = module->archiveInfo(PluginSource::file(archive), members, &gotList);
    // An answer of "invalid data" that still brings a list is taken as one.
    if (code == ResultCode::InvalidData && gotList) {
        code = ResultCode::Success;
    }
    for (const ArchiveEntry& m : members) {
        std::printf("%u\t%u\t%u\t%s\t%s\n", m.position, m.filesize, m.timestamp,
                    field(entryPath(m)).c_str(), field(entryFileName(m)).c_str());
    }
    return code == ResultCode::Success ? 0 : failed(archive, code);
}

int runExtract(std::span<const std::string_view> args) {
    int status = 0;
    const std::optional<Options> o = parse("extract", args, "--plugins -o ", status);
    if (!o) {
        return status;
    }
    std::uint32_t position = 0;
    const auto valid = [&] {
        if (o->plain.size() != 2 || o->output.empty()) {
            return false;
        }
        const std::string& p = o->plain[1];
        const auto [end, error] = std::from_chars(p.data(), p.data() + p.size(), position);
        return error == std::errc() && end == p.data() + p.size();
    };
    if (!valid()) {
        return usageError("extract: usage is extract ARCHIVE POSITION -o OUT [--plugins DIR]");
    }
    const std::string& archive = o->plain[0];
    const std::optional<PluginModule> module =
        archivePluginFor(o->pluginDir.empty() ? defaultPluginDir() : o->pluginDir, archive, status);
    if (!module) {
        return status;
    }
    SpiBlock member;
    const ResultCode code = module->fileToMemory(PluginSource::file(archive), position, member);
    if (code != ResultCode::Success) {
        return failed(archive, code);
    }
    if (!writeFileAtomically(o->output, member.bytes())) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", o->output.c_str());
        return 1;
    }
    return 0;
}

int runPluginDecode(std::span<const std::string_view> args) {
    int status = 0;
    const std::optional<Options> o = parse("decode", args, "--plugins --plugin -o --to24 ", status);
    if (!o) {
        return status;
    }
    if (o->plain.size() != 1 || o->output.empty() || o->plugin.empty()) {
        return usageError(
            "decode: usage is decode FILE --plugin NAME -o OUT.bmp [--to24] [--plugins DIR]");
    }
    const std::string& input = o->plain[0];
    // NAME is a plug-in of the folder (its file name, with or without ".spi",
    // any case) or, holding a "/", the path of a plug-in file.
    std::string pluginPath;
    if (o->plugin.find('/') != std::string::npos) {
        pluginPath = o->plugin;
    } else {
        const std::string wanted = lowered(o->plugin);
        for (const std::string& path :
             pluginFiles(o->pluginDir.empty() ? defaultPluginDir() : o->pluginDir)) {
            const std::string file = lowered(fs::path(path).filename().string());
            if (file == wanted || file == wanted + ".spi") {
                pluginPath = path;
                break;
            }
        }
    }
    if (pluginPath.empty()) {
        std::fprintf(stderr, "vemra-cli: %s: no such plug-in\n", o->plugin.c_str());
        return 1;
    }
    std::string error;
    const std::optional<PluginModule> module = PluginModule::open(pluginPath, &error);
    if (!module) {
        std::fprintf(stderr, "vemra-cli: %s: %s\n", pluginPath.c_str(), error.c_str());
        return 1;
    }
    if (module->kind() != PluginKind::Picture) {
        std::fprintf(stderr, "vemra-cli: %s: not a picture plug-in\n", pluginPath.c_str());
        return 1;
    }
    PictureBuffer picture;
    const ResultCode code = module->picture(PluginSource::file(input), picture);
    if (code != ResultCode::Success) {
        return failed(input, code);
    }
    const Compression stored = picture.compression();
    if ((stored == Compression::Rle8 || stored == Compression::Rle4) && !expandRle(picture)) {
        return failed(input, ResultCode::BrokenData);
    }
    if (o->to24 && !convertTo24Bits(picture)) {
        return failed(input, ResultCode::UnsupportedKind);
    }
    if (!writeBmpFile(o->output, picture)) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write the file\n", o->output.c_str());
        return 1;
    }
    return 0;
}

} // namespace vemra::cli
