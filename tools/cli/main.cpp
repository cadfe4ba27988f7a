// vemra-cli: Vemra's batch tool. It runs the program's own decoders and
// picture operations without a window, for scripts and for tests.

#include "picture_commands.h"
#include "plugin_commands.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Command {
    std::string_view name;
    std::string_view synopsis;
    int (*run)(std::span<const std::string_view>);
};

constexpr Command kCommands[] = {
    {"identify",
     "identify FILE...               one line per file: name, format, width, height, bits",
     vemra::cli::runIdentify},
    {"info",
     "info FILE.bmp                  width, height, bit count, compression, colours used, total "
     "bytes",
     vemra::cli::runInfo},
    {"decode", "decode FILE -o OUT.bmp [--to24] read a picture and write it as BMP",
     vemra::cli::runDecode},
    {"plugins",
     "plugins [--plugins DIR]        one line per plug-in: name, type, information, "
     "extensions",
     vemra::cli::runPlugins},
    {"list",
     "list ARCHIVE                   one line per member: position, size, time, path, "
     "name",
     vemra::cli::runList},
    {"extract", "extract ARCHIVE POSITION -o OUT write one archive member to OUT",
     vemra::cli::runExtract},
};

void printHelp() {
    std::printf("Usage: vemra-cli COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const Command& c : kCommands) {
        std::printf("  %.*s\n", static_cast<int>(c.synopsis.size()), c.synopsis.data());
    }
    std::printf("\nExit status: 0 success, 1 the operation failed (the reason on stderr),\n"
                "2 a usage error.\n");
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        return vemra::cli::usageError("no command given");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return 0;
    }
    if (args[0] == "--version") {
        std::printf("vemra-cli %s\n", VEMRA_VERSION);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (c.name == args[0]) {
            return c.run(std::span(args).subspan(1));
        }
    }
    return vemra::cli::usageError("unknown command '" + std::string(args[0]) + "'");
}
