#include "output_commands.h"

#include "caption_commands.h"
#include "document/caption_font.h"
#include "document/contact_sheet.h"
#include "document/document_options.h"
#include "document/html_catalog.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/picture_source.h"
#include "document/report_file.h"
#include "imaging/colour_management.h"
#include "imaging/qcolor_value.h"
#include "picture_commands.h"
#include "platform/var_table.h"
#include "registry_cli.h"
#include "settings/settings_store.h"
#include "transform_commands.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vemra::cli {
namespace {

namespace fs = std::filesystem;

std::optional<int> numberOf(std::string_view text, int low, int high) {
    int value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// "CxR" with either side 0 allowed (computed, or no rows).
std::optional<std::pair<int, int>> gridOf(std::string_view text) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto c = numberOf(text.substr(0, x), 0, 1000);
    const auto r = numberOf(text.substr(x + 1), 0, 1000);
    if (!c || !r)
        return std::nullopt;
    return std::pair{*c, *r};
}

// The folder of the first picture stands for the document's folder.
std::string folderOf(const std::vector<std::string>& files) {
    return fs::absolute(fs::path(files.front())).lexically_normal().parent_path().string();
}

} // namespace

std::optional<Pictures> describe(const std::vector<std::string>& files) {
    Pictures p;
    p.registry = openRegistry();
    // Without a screen of its own the batch tool manages colours for sRGB:
    // what it writes is in sRGB, as the browser writes it.
    const bool managed = DocumentOptions::load(settings()).colorManagement;
    for (const std::string& file : files) {
        auto entry = std::make_unique<PictureSource>();
        if (!describeFile(*p.registry, file, *entry))
            return std::nullopt;
        entry->state = PictureSource::kSelected;
        entry->drawing.colour = managed ? DisplayColour::srgb() : nullptr;
        p.pointers.push_back(entry.get());
        p.entries.push_back(std::move(entry));
    }
    return p;
}

int runCatalog(std::span<const std::string_view> args) {
    constexpr const char* kUsage =
        "catalog: usage is catalog FILE... --definition DEF.kpm -o OUTDIR [--name catalog.htm] "
        "[--per-page N] [--table CxR] [--link 0|1|2] [--quality Q] [--progressive] [--quant 8] "
        "[--thumbs-folder REL]";
    std::vector<std::string> files;
    HtmlCatalogRequest request;
    request.fileName = "catalog.htm";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::optional<int> number;
        if (a == "--definition" && hasValue) {
            request.definitionFile = std::string(args[++i]);
        } else if (a == "-o" && hasValue) {
            request.outputFolder = std::string(args[++i]);
        } else if (a == "--name" && hasValue) {
            request.fileName = catalogFileName(args[++i]);
        } else if (a == "--per-page" && hasValue && (number = numberOf(args[++i], 0, 100000))) {
            request.options.pageCount = *number;
        } else if (a == "--table" && hasValue) {
            const auto grid = gridOf(args[++i]);
            if (!grid || grid->first < 1)
                return usageError("catalog: --table takes CxR");
            request.options.table = true;
            request.options.widthCount = grid->first;
            request.options.heightCount = grid->second;
        } else if (a == "--link" && hasValue && (number = numberOf(args[++i], 0, 2))) {
            request.options.linkFormat = *number;
        } else if (a == "--quality" && hasValue && (number = numberOf(args[++i], 0, 100))) {
            request.options.jpegQuality = *number;
        } else if (a == "--progressive") {
            request.options.progressive = true;
        } else if (a == "--quant" && hasValue && (number = numberOf(args[++i], 0, 8))) {
            request.options.quantPng = *number == 8 ? 8 : 0;
        } else if (a == "--thumbs-folder" && hasValue) {
            request.thumbsFolder = std::string(args[++i]);
        } else if (!a.starts_with("-")) {
            files.emplace_back(a);
        } else {
            return usageError(kUsage);
        }
    }
    if (files.empty() || request.definitionFile.empty() || request.outputFolder.empty())
        return usageError(kUsage);
    if (request.thumbsFolder.empty())
        request.thumbsFolder = ".";

    const DocumentOptions options = DocumentOptions::load(settings());
    const auto definition =
        readCatalogDefinition(request.definitionFile,
                              catalogDefaults(options.thumbsSize.first, options.thumbsSize.second));
    if (!definition) {
        std::fprintf(stderr, "vemra-cli: %s: HTML定義ファイルの読み込みに失敗しました\n",
                     request.definitionFile.c_str());
        return 1;
    }
    std::error_code error;
    fs::create_directories(request.outputFolder, error);
    request.outputFolder = fs::absolute(request.outputFolder).lexically_normal().string();
    if (!fs::is_directory(request.outputFolder)) {
        std::fprintf(stderr, "vemra-cli: %s: %s\n", request.outputFolder.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return 1;
    }
    auto pictures = describe(files);
    if (!pictures)
        return 1;
    RegistryPictureLoader loader(*pictures->registry);
    HtmlCatalogContext context;
    context.loader = &loader;
    context.sharpening = options.sharpening();
    context.documentFolder = folderOf(files);
    context.centralCacheFolder = options.centralCacheFolder();
    VarTable vars;
    const HtmlCatalogResult result =
        writeHtmlCatalog(*definition, request, pictures->pointers, vars, context);
    if (!result.ok) {
        std::fprintf(stderr, "vemra-cli: %s: %s%s%s\n", request.outputFolder.c_str(),
                     result.thumbnailFolderFailed ? "サムネイルフォルダの作成に失敗しました"
                                                  : "HTMLファイルの書き込みに失敗しました",
                     result.error.empty() ? "" : ": ", result.error.c_str());
        return 1;
    }
    for (const std::string& file : result.files)
        std::printf("%s\n", file.c_str());
    return 0;
}

int runReport(std::span<const std::string_view> args) {
    constexpr const char* kUsage = "report: usage is report FILE... -o REPORT.txt [--format FMT]";
    std::vector<std::string> files;
    std::string output;
    std::string format;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" && hasValue)
            output = std::string(args[++i]);
        else if (a == "--format" && hasValue)
            format = std::string(args[++i]);
        else if (!a.starts_with("-"))
            files.emplace_back(a);
        else
            return usageError(kUsage);
    }
    if (files.empty() || output.empty())
        return usageError(kUsage);
    auto pictures = describe(files);
    if (!pictures)
        return 1;
    const std::string central = DocumentOptions::load(settings()).centralCacheFolder();
    const ReportResult result =
        writeReportFile(output, format, pictures->pointers, central, nullptr);
    if (!result.ok) {
        std::fprintf(stderr, "vemra-cli: %s: %s\n", output.c_str(), result.error.c_str());
        return 1;
    }
    return 0;
}

int runContactSheet(std::span<const std::string_view> args) {
    constexpr const char* kUsage =
        "contact-sheet: usage is contact-sheet FILE... -o SHEET.jpg|.bmp "
        "[--grid CxR] [--quality Q] [--size WxH]";
    std::vector<std::string> files;
    ContactSheetRequest request;
    DocumentOptions options = DocumentOptions::load(settings());
    ContactSheetOptions stored = ContactSheetOptions::load(settings());
    request.columns = stored.width;
    request.rows = stored.height;
    request.quality = stored.jpgQuality;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::optional<int> number;
        if (a == "-o" && hasValue) {
            request.outputPath = std::string(args[++i]);
        } else if (a == "--grid" && hasValue) {
            const auto grid = gridOf(args[++i]);
            if (!grid)
                return usageError("contact-sheet: --grid takes CxR (0 computes a side)");
            request.columns = grid->first;
            request.rows = grid->second;
        } else if (a == "--quality" && hasValue && (number = numberOf(args[++i], 0, 100))) {
            request.quality = *number;
        } else if (a == "--size" && hasValue) {
            const auto size = sizeOf(args[++i]);
            if (!size || size->width < DocumentOptions::kMinThumbnailSide ||
                size->height < DocumentOptions::kMinThumbnailSide ||
                size->width > DocumentOptions::kMaxThumbnailSide ||
                size->height > DocumentOptions::kMaxThumbnailSide)
                return usageError("contact-sheet: --size takes WxH, each side 10 to 4096");
            options.thumbsSize = {size->width, size->height};
        } else if (!a.starts_with("-")) {
            files.emplace_back(a);
        } else {
            return usageError(kUsage);
        }
    }
    if (files.empty() || request.outputPath.empty())
        return usageError(kUsage);
    const std::string extension = fs::path(request.outputPath).extension().string();
    if (extension == ".jpg" || extension == ".jpeg" || extension == ".JPG" || extension == ".JPEG")
        request.fileType = 1;
    else if (extension == ".bmp" || extension == ".BMP")
        request.fileType = 0;
    else
        return usageError("contact-sheet: the sheet is written as .bmp or .jpg");

    // Captions are drawn with the program's fonts.
    ensureGuiApplication();
    auto pictures = describe(files);
    if (!pictures)
        return 1;
    const std::string central = options.centralCacheFolder();
    const auto appearance = std::make_shared<const EntryAppearance>(options.appearance());
    for (PictureSource* entry : pictures->pointers) {
        entry->appearance = appearance;
        loadNote(*entry, central);
    }
    request.cellWidth = options.thumbsSize.first;
    request.cellHeight = options.thumbsSize.second;
    request.look = CellLook::fromOptions(options);
    request.sharpening = options.sharpening();
    if (settings().contains("KPView", "colBackground"))
        request.background =
            toQColor(colourFromSetting(settings().getInt("KPView", "colBackground", 0)));
    RegistryPictureLoader loader(*pictures->registry);
    const ContactSheetResult result =
        writeContactSheets(request, pictures->pointers, loader, nullptr);
    if (!result.ok) {
        std::fprintf(stderr, "vemra-cli: %s: the sheet could not be written\n",
                     result.error.c_str());
        return 1;
    }
    for (const std::string& file : result.files)
        std::printf("%s\n", file.c_str());
    return 0;
}

} // namespace vemra::cli
