// vemra-cli: Vemra's batch tool. It runs the program's own decoders and
// picture operations without a window, for scripts and for tests.

#include "caption_commands.h"
#include "convert_commands.h"
#include "decode_commands.h"
#include "encode_commands.h"
#include "global_options.h"
#include "note_commands.h"
#include "output_commands.h"
#include "picture_commands.h"
#include "plugin_commands.h"
#include "print_commands.h"
#include "registry_cli.h"
#include "rename_commands.h"
#include "scan_commands.h"
#include "settings_commands.h"
#include "thumb_commands.h"
#include "transfer_commands.h"
#include "transform_commands.h"
#include "wallpaper_commands.h"

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
     "identify FILE...               one line per file: path, decoder, width, height, bits, "
     "info text",
     vemra::cli::runIdentify},
    {"info",
     "info FILE.bmp                  width, height, bit count, compression, colours used, total "
     "bytes",
     vemra::cli::runInfo},
    {"decode",
     "decode FILE -o OUT [--decoder ID|NAME] [--plugin NAME] [--reduce N] [--offset N] [--to24]\n"
     "              [--quality Q] [--progressive] [--grey] [--bits 1|4|8|24]\n"
     "                                 decode a picture and write it as BMP, PNG or JPEG (by OUT's "
     "extension)",
     vemra::cli::runDecode},
    {"scale", "scale IN.bmp -o OUT.bmp --size WxH [--mode 0|1|2|3|10] [--angle DEG]",
     vemra::cli::runScale},
    {"rotate", "rotate IN.bmp -o OUT.bmp --angle DEG  (clockwise)", vemra::cli::runRotate},
    {"mirror", "mirror IN.bmp -o OUT.bmp        reverse left and right", vemra::cli::runMirror},
    {"flip", "flip IN.bmp -o OUT.bmp          turn upside down", vemra::cli::runFlip},
    {"unsharp",
     "unsharp IN.bmp -o OUT.bmp (--amount A [--kernel N:w1,w2,...] | --cross A | --thumbnail "
     "--decoded WxH [--full WxH] [--level L])\n"
     "      scale (mode 10 unless given), rotate, mirror, flip and unsharp read BMP files for "
     "now",
     vemra::cli::runUnsharp},
    {"reduce",
     "reduce IN -o OUT [--mode 0-4] [--reserve-system] [--transparent-corner 0-3]\n"
     "                                 reduce to at most 256 colours (BMP input), write BMP or PNG",
     vemra::cli::runReduce},
    {"caption",
     "caption FILE [--member NAME] FORMAT...\n"
     "                                 each FORMAT with the caption macros ($(PicName), "
     "$(W)x$(H), $(D) $(T),\n"
     "                                 $(Note), ...) expanded for FILE or its archive member NAME, "
     "one per line",
     vemra::cli::runCaption},
    {"settings", "settings get|set|list|options  read and write the settings store",
     vemra::cli::runSettings},
    {"plugins",
     "plugins                        one line per plug-in: name, type, information, extensions, "
     "in use; the sets",
     vemra::cli::runPlugins},
    {"list",
     "list ARCHIVE                   one line per member: position, size, time, path, "
     "name",
     vemra::cli::runList},
    {"notes",
     "notes FOLDER                   one line per note: archive, file name, note (escaped)",
     vemra::cli::runNotes},
    {"note", "note FILE --set TEXT | --clear  set (\\r \\n escapes) or clear a picture's note",
     vemra::cli::runNote},
    {"extract", "extract ARCHIVE POSITION -o OUT write one archive member to OUT",
     vemra::cli::runExtract},
    {"copy",
     "copy SRC... DEST [--same 0-5] [--only-existing]\n"
     "                                 copy files and folders into DEST with their notes; an "
     "existing target:\n"
     "                                 0 newer only, 1 overwrite, 2 skip (default), 4 numbered "
     "name, 5 larger only;\n"
     "                                 one line per file: copied|skipped|failed, source, target",
     vemra::cli::runCopy},
    {"move", "move SRC... DEST [--same 0-5] [--only-existing]   the same, moving",
     vemra::cli::runMove},
    {"delete", "delete FILE... [--trash]        delete files (into the desktop's trash)",
     vemra::cli::runDelete},
    {"unpack", "unpack ARCHIVE DEST             every member side by side into DEST",
     vemra::cli::runUnpack},
    {"convert",
     "convert FILE... -d DEST [--format bmp|jpeg|png] [--size WxH [--no-aspect] | --factor F]\n"
     "                [--scale-mode 0|1|2|3|10] [--unsharp] [--angle A] [--quality Q] "
     "[--progressive]\n"
     "                [--quant 8] [--same 0-5] [-j N]\n"
     "                                 save pictures in another format (JPEG by default), "
     "resized, turned\n"
     "                                 and sharpened; N at a time (default: one per core); an "
     "existing target:\n"
     "                                 2 skip (default), 0/1/5 overwrite, 4 numbered name; one "
     "line per file:\n"
     "                                 converted|skipped|failed, source, target",
     vemra::cli::runConvert},
    {"rename", "rename FILE NEWNAME             rename a picture (and its note) in its folder",
     vemra::cli::runRename},
    {"serial-rename",
     "serial-rename FILE... --format FMT [--first N]\n"
     "                                 rename as a numbered series: ## or #3# for the number, "
     "%Y%m%d\n"
     "                                 for the file date, $(PicName) and the other caption macros; "
     "one line\n"
     "                                 per picture: renamed OLD NEW, or OLD -> NEW :failed rename",
     vemra::cli::runSerialRename},
    {"scan",
     "scan FOLDER [--mask M] [--archives] [--subfolders] [--cache-first] [--scan-spi]\n"
     "              [--plugin-ext] [--date-from YYYY-MM-DD] [--date-to YYYY-MM-DD]\n"
     "              [--size-min N] [--size-max N] [--sort COLUMN:CODE]... [--plugins DIR]\n"
     "                                 list a folder (or an archive file's members) as the "
     "browser does: display\n"
     "                                 position, folder, name, archive, member position, length, "
     "time, decoder,\n"
     "                                 width, height, bits; then the status texts after \"#\".\n"
     "                                 --sort orders by column 0-9 (name, extension, size, "
     "time, pixels, archive,\n"
     "                                 info, decoder, note, folder) and code (0 scan order, 1 "
     "ascending, 2 descending;\n"
     "                                 pixels 1-8: width, height, bits, area); the last one "
     "decides first",
     vemra::cli::runScan},
    {"thumbs",
     "thumbs FOLDER [--size WxH] [--cache-folder DIR] [-j THREADS] [--settings FILE] "
     "[--plugins DIR]\n"
     "                                 make every picture's thumbnail as the browser does (the "
     "cache first,\n"
     "                                 on THREADS worker threads, one per core by default),\n"
     "                                 write the cache files; prints \"made N loaded N failed N "
     "ms-per-thumbnail X\"",
     vemra::cli::runThumbs},
    {"catalog",
     "catalog FILE... --definition DEF.kpm -o OUTDIR [--name catalog.htm] [--per-page N]\n"
     "              [--table CxR] [--link 0|1|2] [--quality Q] [--progressive] [--quant 8]\n"
     "              [--thumbs-folder REL]\n"
     "                                 an HTML catalog of the pictures from a definition file; "
     "prints the files",
     vemra::cli::runCatalog},
    {"report",
     "report FILE... -o REPORT.txt [--format FMT]\n"
     "                                 one line per picture, FMT (default: tab-separated name, "
     "size, date,\n"
     "                                 pixels, information, note) with the caption macros "
     "expanded",
     vemra::cli::runReport},
    {"contact-sheet",
     "contact-sheet FILE... -o SHEET.jpg|.bmp [--grid CxR] [--quality Q] [--size WxH]\n"
     "                                 the pictures' grid cells on sheets (numbered SHEET00... "
     "when they\n"
     "                                 do not fit one); prints the files",
     vemra::cli::runContactSheet},
    {"print",
     "print FILE... [--definition DEF.dps] --pdf OUT.pdf [--paper A4] [--landscape]\n"
     "                                 print the pictures (laid out by a print-definition file, "
     "else one a\n"
     "                                 page) into a PDF as a printer gets them; prints the file "
     "and its pages",
     vemra::cli::runPrint},
    {"wallpaper",
     "wallpaper FILE [--mode 0-3] [--bright B] [--red R] [--green G] [--blue B] [--screen WxH]\n"
     "              [--dry-run]\n"
     "                                 make the picture (colours adjusted, placed by mode: 0 "
     "centred, 1 tiled,\n"
     "                                 2 stretched, 3 fitted) the desktop's wallpaper; "
     "--dry-run only writes\n"
     "                                 the file; prints the file",
     vemra::cli::runWallpaper},
};

void printHelp() {
    std::printf(
        "Usage: vemra-cli [OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n"
        "       vemra-cli --help | --version\n\n"
        "Options, before or after the command:\n"
        "  --settings FILE  the settings store of this run (default: vemra.ini beside the\n"
        "                   program when it exists, else the per-user file)\n"
        "  --plugins DIR    the plug-in folder (default: the settings' plug-in folder,\n"
        "                   else the installed one, PREFIX/lib/vemra/plugins, else this\n"
        "                   build's)\n"
        "  --set NAME       the plug-in set in use (after note, --set is the note's text)\n"
        "  --               what follows is the command's, even when it looks like an option\n\n"
        "identify, decode, caption, plugins, list, extract, scan and thumbs go through the\n"
        "decoder registry: the plug-ins of DIR in use in set NAME, then the built-in\n"
        "decoders.\n\nCommands:\n");
    for (const Command& c : kCommands) {
        std::printf("  %.*s\n", static_cast<int>(c.synopsis.size()), c.synopsis.data());
    }
    std::printf("\nExit status: 0 success, 1 the operation failed (the reason on stderr, with\n"
                "the decoder's result code and its name, e.g. \"invalid data (result 2)\"),\n"
                "2 a usage error.\n");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const vemra::cli::GlobalOptions options = vemra::cli::takeGlobalOptions(args);
    if (!options.error.empty()) {
        return vemra::cli::usageError(options.error);
    }
    vemra::cli::useSettingsOption(options.settingsFile);
    vemra::cli::RegistryOptions& registry = vemra::cli::registryOptions();
    registry.pluginDir = options.pluginDir.value_or("");
    registry.set = options.pluginSet.value_or("");
    registry.setGiven = options.pluginSet.has_value();
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
