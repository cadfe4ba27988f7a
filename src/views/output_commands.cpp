#include "views/output_commands.h"

#include "document/catalog_definition.h"
#include "document/contact_sheet.h"
#include "document/folder_document.h"
#include "document/html_catalog.h"
#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "document/report_file.h"
#include "document/written_colours.h"
#include "framework/command_id.h"
#include "framework/ensure_folder.h"
#include "framework/ensure_folder_box.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "platform/install_layout.h"
#include "platform/program_path.h"
#include "views/contact_sheet_dialog.h"
#include "views/html_catalog_dialog.h"
#include "views/printing.h"
#include "views/report_file_dialog.h"
#include "views/wallpaper_dialog.h"

#include <filesystem>

namespace vemra {
namespace {

std::vector<PictureSource*> pointers(std::vector<PictureSource>& pictures) {
    std::vector<PictureSource*> out;
    out.reserve(pictures.size());
    for (PictureSource& p : pictures)
        out.push_back(&p);
    return out;
}

} // namespace

OutputCommands::OutputCommands(FolderDocument& document, SettingsStore& settings, QWidget* parent,
                               ProgressSink* progress, std::function<QColor()> background)
    : m_document(document), m_settings(settings), m_parent(parent), m_progress(progress),
      m_background(std::move(background)),
      m_definitionFolder(shippedDefinitionFolder(executableDir(), "catalogs").string()) {}

std::optional<CommandState> OutputCommands::commandState(int id) const {
    switch (id) {
    case kCmdHtmlCatalog:
    case kCmdReportFile:
    case kCmdContactSheet:
    case kCmdPrint:
        return CommandState{m_document.selectedCount(false) > 0, false};
    case kCmdWallpaper:
        return CommandState{m_commandEntry && m_commandEntry() >= 0, false};
    default:
        return std::nullopt;
    }
}

bool OutputCommands::onCommand(int id) {
    const auto state = commandState(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    switch (id) {
    case kCmdHtmlCatalog:
        runHtmlCatalog();
        break;
    case kCmdReportFile:
        runReport();
        break;
    case kCmdContactSheet:
        runContactSheet();
        break;
    case kCmdPrint:
        printSelectedPictures(m_parent, m_settings, m_document, m_progress);
        break;
    case kCmdWallpaper:
        runWallpaper();
        break;
    }
    return true;
}

std::vector<PictureSource> OutputCommands::selectedPictures() const {
    std::vector<PictureSource> out;
    for (int i = 0; i < m_document.displayedCount(); ++i) {
        if (const PictureSource* e = m_document.entryAt(i); e != nullptr && e->isSelected())
            out.push_back(*e);
    }
    return out;
}

// --- HTML catalog

void OutputCommands::runHtmlCatalog() {
    HtmlCatalogDialog dialog(m_settings, m_document.currentFolder(), m_definitionFolder, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    makeHtmlCatalog(dialog.request());
}

void OutputCommands::makeHtmlCatalog(const HtmlCatalogRequest& request) {
    const IntPair box = m_document.thumbnailSize();
    const auto definition =
        readCatalogDefinition(request.definitionFile, catalogDefaults(box.first, box.second));
    if (!definition) {
        showInformation(m_parent, "HTML定義ファイルの読み込みに失敗しました");
        return;
    }
    if (!ensureFolderAsking(m_parent, request.outputFolder))
        return;
    if (m_document.pictureLoader() == nullptr)
        return;
    std::vector<PictureSource> pictures = selectedPictures();
    const std::vector<PictureSource*> list = pointers(pictures);
    HtmlCatalogContext context;
    context.loader = m_document.pictureLoader();
    context.sharpening = m_document.options().sharpening();
    context.documentFolder = m_document.currentFolder();
    context.centralCacheFolder = m_document.options().centralCacheFolder();
    context.progress = m_progress;
    const HtmlCatalogResult result = writeHtmlCatalog(*definition, request, list, m_vars, context);
    if (result.thumbnailFolderFailed)
        showInformation(m_parent, "サムネイルフォルダの作成に失敗しました");
    else if (!result.ok)
        showInformation(m_parent, "HTMLファイルの書き込みに失敗しました");
    m_document.refreshIfCurrent(request.outputFolder);
}

// --- report

void OutputCommands::runReport() {
    ReportFileDialog dialog(m_settings, m_document.currentFolder(), m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    makeReport(dialog.path(), dialog.format());
}

void OutputCommands::makeReport(const std::string& path, const std::string& format) {
    const WaitCursor busy;
    std::vector<PictureSource> pictures = selectedPictures();
    const ReportResult result = writeReportFile(
        path, format, pointers(pictures), m_document.options().centralCacheFolder(), m_progress);
    if (!result.ok)
        showInformation(m_parent, ensureFolderFailure(path, result.error));
    m_document.refreshIfCurrent(std::filesystem::path(path).parent_path().string());
}

// --- contact sheet

void OutputCommands::runContactSheet() {
    ContactSheetDialog dialog(m_settings, m_document.currentFolder(), m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!ensureFolderAsking(m_parent, dialog.folder()))
        return;
    makeContactSheets(dialog.outputPath(), dialog.options());
}

void OutputCommands::makeContactSheets(const std::string& outputPath,
                                       const ContactSheetOptions& options) {
    if (m_document.pictureLoader() == nullptr)
        return;
    const WaitCursor busy;
    std::vector<PictureSource> pictures = selectedPictures();
    ContactSheetRequest request;
    request.outputPath = outputPath;
    request.columns = options.width;
    request.rows = options.height;
    request.fileType = options.filetype;
    request.quality = options.jpgQuality;
    const IntPair cell = m_document.thumbnailSize();
    request.cellWidth = cell.first;
    request.cellHeight = cell.second;
    request.look = CellLook::fromOptions(m_document.options());
    request.sharpening = m_document.options().sharpening();
    if (m_background)
        request.background = m_background();
    const ContactSheetResult result =
        writeContactSheets(request, pointers(pictures), *m_document.pictureLoader(), m_progress);
    if (!result.ok)
        showInformation(m_parent,
                        ensureFolderFailure(result.error.empty() ? outputPath : result.error,
                                            "保存できませんでした"));
    m_document.refreshIfCurrent(std::filesystem::path(outputPath).parent_path().string());
}

// --- wallpaper

void OutputCommands::runWallpaper() {
    const PictureSource* entry = m_document.entryAt(m_commandEntry());
    if (entry == nullptr || m_document.pictureLoader() == nullptr)
        return;
    PictureSource work = *entry;
    PictureBuffer picture;
    int code = 0;
    {
        const WaitCursor busy;
        code = m_document.pictureLoader()->loadForThumbnail(work, 0, 0, picture);
        if (code == 0)
            prepareForWriting(work, m_document.pictureLoader(), picture);
    }
    if (code != 0 || !picture) {
        showInformation(m_parent, wallpaperFailureText(-2));
        return;
    }
    runWallpaperDialog(m_parent, m_settings, picture);
}

} // namespace vemra
