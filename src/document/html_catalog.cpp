#include "document/html_catalog.h"

#include "document/caption_macros.h"
#include "document/document_options.h"
#include "document/file_type_icon.h"
#include "document/html_catalog_text.h"
#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "document/picture_notes.h"
#include "document/picture_source.h"
#include "document/scan_services.h"
#include "document/thumbnail_maker.h"
#include "document/written_colours.h"
#include "imaging/colour_reduction.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/png_encoder.h"
#include "platform/atomic_file.h"
#include "platform/staged_files.h"
#include "platform/var_table.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// The head the first catalog version writes itself; version 2 and later
// definitions write their own. Pages are UTF-8, and the head says so.
constexpr const char* kHeadLines[] = {
    "<HTML>",
    "<HEAD>",
    "<META NAME=\"GENERATOR\" CONTENT=\"Vemra\">",
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;CHARSET=UTF-8\">",
    "<TITLE>Vemra Catalog</TITLE>",
    "</HEAD>",
};

constexpr const char* kFullWidthSpace = "\xE3\x80\x80";

// The macros in the order each pass replaces them.
enum Macro {
    OrgPathName,
    FileName,
    Width,
    Height,
    OrgFileName,
    Pixel,
    Info,
    Doc,
    PrevPage,
    PageNo,
    NextPage,
    Folder,
    MaxPageNo,
    PathName,
    ThumbsName,
    Note,
    FolderL,
    TodayDate,
    kMacroCount
};
constexpr std::array<const char*, kMacroCount> kMacroNames = {
    "$ORGPATHNAME$", "$FILENAME$", "$WIDTH$",      "$HEIGHT$", "$ORGFILENAME$", "$PIXEL$",
    "$INFO$",        "$DOC$",      "$PREV_PAGE$",  "$PAGENO$", "$NEXT_PAGE$",   "$FOLDER$",
    "$MAXPAGENO$",   "$PATHNAME$", "$THUMBSNAME$", "$NOTE$",   "$FOLDER_L$",    "$TODAYDATE$",
};

using MacroValues = std::array<std::string, kMacroCount>;

std::string stemOf(std::string_view fileName) {
    // An archive member's name may carry its folders inside the archive.
    const std::size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    return fs::path(std::string(fileName)).stem().string();
}

// The icon as PNG (with its transparency, so that it sits on any page
// background); empty when it cannot be encoded.
std::string iconPng(const QImage& icon) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (icon.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !QImageWriter(&buffer, "png").write(icon))
        return {};
    return bytes.toStdString();
}

class CatalogRun {
public:
    CatalogRun(const CatalogDefinition& definition, const HtmlCatalogRequest& request,
               VarTable& vars, const HtmlCatalogContext& context)
        : m_def(definition), m_request(request), m_vars(vars), m_context(context),
          m_maker(*context.loader, context.sharpening) {
        m_environment.now = context.now;
        m_today = expandCaptionWithoutPicture("$(TodayDate)", m_environment);
        m_boxWidth = std::clamp(definition.thumbsWidth, 1, DocumentOptions::kMaxThumbnailSide);
        m_boxHeight = std::clamp(definition.thumbsHeight, 1, DocumentOptions::kMaxThumbnailSide);
        m_table = request.options.table && request.options.widthCount > 0;
    }

    HtmlCatalogResult run(std::span<PictureSource* const> pictures) {
        HtmlCatalogResult result;
        const int n = static_cast<int>(pictures.size());
        const int setting = m_request.options.picturesPerPage();
        m_perPage = setting < 1 || n <= setting ? n : setting;
        m_pageCount = setting > 0 && m_perPage > 0 ? (n + m_perPage - 1) / m_perPage : 1;

        m_vars.setDouble("#THUMBS_WIDTH", m_def.thumbsWidth);
        m_vars.setDouble("#THUMBS_HEIGHT", m_def.thumbsHeight);
        m_vars.setString("#TABLE_OPTION", m_def.tableOption);
        m_vars.setDouble("#VERSION", m_def.version);

        const int linkFormat = m_request.options.linkFormat;
        if (linkFormat == 1 || linkFormat == 2) {
            std::error_code error;
            fs::create_directories(thumbnailFolder(), error);
            if (!fs::is_directory(thumbnailFolder())) {
                result.error = error ? error.message() : "not a folder";
                m_thumbnailFolderFailed = true;
                return result;
            }
        }
        if (m_context.progress != nullptr)
            m_context.progress->begin("HTMLの作成中", "", n);
        std::size_t next = 0;
        bool ok = true;
        for (m_page = 0; m_page < m_pageCount && next < pictures.size() && ok; ++m_page)
            ok = writePage(pictures, next, result);
        if (m_context.progress != nullptr)
            m_context.progress->end();
        if (ok && !m_staged.commit()) {
            result.error = m_staged.errorText();
            ok = false;
        }
        if (!ok) {
            m_staged.discard();
            return result;
        }
        result.ok = true;
        result.pages = m_page;
        result.files = std::move(m_written);
        return result;
    }

    bool thumbnailFolderFailed() const { return m_thumbnailFolderFailed; }

private:
    fs::path thumbnailFolder() const {
        return fs::path(m_request.outputFolder) / m_request.thumbsFolder;
    }

    // --- one page
    bool writePage(std::span<PictureSource* const> pictures, std::size_t& next,
                   HtmlCatalogResult& result) {
        const std::string firstPage = fs::path(m_request.fileName).filename().string();
        const std::string pagePath =
            (fs::path(m_request.outputFolder) / pageFileName(firstPage, m_page + 1)).string();
        m_text.clear();

        for (const std::string& line : m_def.preamble) {
            if (isAssignmentLine(line))
                m_vars.assign(expandMacros(line, nullptr).substr(4));
        }
        if (m_def.version < 2.0) {
            for (const char* line : kHeadLines)
                addLine(line);
        }
        writeList(m_def.header);
        if (m_table) {
            addLine(m_vars.substitute("<TABLE WIDTH=\"1\" " + m_def.tableOption + ">"));
        }
        int column = 0;
        for (int onPage = 0; onPage < m_perPage && next < pictures.size(); ++onPage) {
            PictureSource& entry = *pictures[next++];
            if (m_context.progress != nullptr && m_context.progress->cancelRequested()) {
                result.cancelled = true;
                return false;
            }
            if (!writePicture(entry, result))
                return false;
            if (m_table) {
                if (column == 0)
                    addLine("<TR>");
                addLine("<TD WIDTH=\"" + std::to_string(100 / m_request.options.widthCount) +
                        "%\">");
            }
            writeOne(entry);
            if (m_table) {
                addLine("</TD>");
                if (++column == m_request.options.widthCount) {
                    addLine("</TR>");
                    column = 0;
                }
            }
            if (m_context.progress != nullptr) {
                m_context.progress->setMessage(entry.fileName);
                m_context.progress->advance();
            }
        }
        if (m_table)
            addLine("</TABLE>");
        writeList(m_def.footer);
        if (m_def.version < 2.0)
            addLine("</HTML>");

        m_written.push_back(pagePath);
        AtomicFile file(m_staged.stage(pagePath));
        if (!file.open() || !file.write(std::as_bytes(std::span(m_text))) || !file.commit()) {
            result.error = file.errorText();
            return false;
        }
        return true;
    }

    void addLine(std::string_view line) {
        m_text += line;
        m_text += "\r\n";
    }

    // Header and footer: assignments run, other lines are written with the
    // page's macros and the variables replaced.
    void writeList(const std::vector<std::string>& list) {
        for (const std::string& line : list) {
            const std::string expanded = expandMacros(line, nullptr);
            if (isAssignmentLine(line))
                m_vars.assign(std::string_view(expanded).substr(4));
            else
                addLine(m_vars.substitute(expanded));
        }
    }

    // The picture's lines: its macros, then its caption macros, then the
    // variables; a CR breaks the text into further lines, LFs go.
    void writeOne(const PictureSource& entry) {
        for (const std::string& line : m_def.one) {
            const std::string expanded =
                expandCaption(expandMacros(line, &entry), entry, m_environment);
            if (isAssignmentLine(line)) {
                m_vars.assign(std::string_view(expanded).substr(4));
                continue;
            }
            const std::string text = m_vars.substitute(expanded);
            std::string out;
            for (const char c : text) {
                if (c == '\r') {
                    addLine(out);
                    out.clear();
                } else if (c != '\n') {
                    out += c;
                }
            }
            addLine(out);
        }
    }

    // --- one picture: its size, thumbnail file and links
    bool writePicture(PictureSource& entry, HtmlCatalogResult& result) {
        loadNote(entry, m_context.centralCacheFolder);
        const int linkFormat = m_request.options.linkFormat;
        const std::string original =
            entry.isArchiveMember() ? entry.archiveFullPath() : entry.fullPath();
        const fs::path path(original);
        m_orgLink = urlEncoded(relativeLink(m_request.outputFolder, path.parent_path().string(),
                                            path.filename().string()));
        m_thumbsLink = m_orgLink;

        PictureSource work = entry;
        work.drawing.scaleMode = 10; // the automatic choice of scaling
        work.drawing.unsharp = true;
        work.drawing.limitCheck = true;
        work.fitMode = 1;
        // Catalog pages are seen on other screens: thumbnails in sRGB.
        work.drawing.colour = writtenColour(work.drawing);
        bool made = false;
        if (linkFormat == 1 || linkFormat == 2) {
            made = m_maker.make(work, m_boxWidth, m_boxHeight);
        } else if (work.pictureWidth <= 0 || work.pictureHeight <= 0) {
            // Only the size is wanted; the picture itself is linked.
            PictureBuffer ignored;
            m_context.loader->loadForThumbnail(work, m_boxWidth, m_boxHeight, ignored);
        }
        entry.decoder = work.decoder;
        entry.pictureWidth = work.pictureWidth;
        entry.pictureHeight = work.pictureHeight;
        entry.bitCount = work.bitCount;
        entry.infoText = work.infoText;
        // The caption macros and the size below are the upright ones.
        learnPhotoFacts(work, m_context.loader);
        entry.orientation = work.orientation;
        entry.dateTaken = work.dateTaken;
        entry.cameraModel = work.cameraModel;

        const PictureSize upright = uprightPictureSize(entry);
        const int w = upright.width, h = upright.height;
        const int boxW = linkFormat == 0 ? w : m_boxWidth;
        const int boxH = linkFormat == 0 ? h : m_boxHeight;
        if (w > 0 && h > 0) {
            const double f = std::min(static_cast<double>(boxW) / w, static_cast<double>(boxH) / h);
            m_width = static_cast<int>(w * f);
            m_height = static_cast<int>(h * f);
        } else {
            // A picture whose size is unknown shows in the thumbnail box.
            m_width = m_boxWidth;
            m_height = m_boxHeight;
        }
        // What gives no picture of its own (an archive file, a file no
        // decoder takes, a member that could not be decoded) shows its file
        // type's icon, as the grid does, still linked to the file itself: a
        // browser shows no picture from the archive or from a file that is
        // none. A picture that gave no thumbnail is shown from its original,
        // which a browser may still manage.
        const bool noPicture =
            !made && (entry.isArchiveMember() || (work.decoder < 0 && (w <= 0 || h <= 0)));
        if (noPicture)
            return showIcon(entry, result);
        if (made) {
            const std::string name = thumbnailName(entry, linkFormat == 1 ? ".jpg" : ".png");
            m_thumbsLink = thumbnailLink(name);
            if (!writeThumbnail(work.thumbnail, (thumbnailFolder() / name).string(), linkFormat)) {
                result.error = "the thumbnail could not be written";
                return false;
            }
        }
        m_values = pictureValues(entry);
        return true;
    }

    // The file-type icon stands for the picture: a PNG in the thumbnail
    // folder, or, when the run writes no thumbnails, inside the page as a
    // data address. Shown at its own size, or smaller in a smaller box.
    bool showIcon(const PictureSource& entry, HtmlCatalogResult& result) {
        const QImage icon = fileTypeIcon(entry);
        const int linkFormat = m_request.options.linkFormat;
        const int boxW = linkFormat == 0 ? icon.width() : m_boxWidth;
        const int boxH = linkFormat == 0 ? icon.height() : m_boxHeight;
        const PictureSize shown = fittedSize(icon.width(), icon.height(), boxW, boxH, true);
        m_width = shown.width;
        m_height = shown.height;
        // Members all get the plain file icon; files one by their type.
        const std::string type = entry.isArchiveMember()
                                     ? std::string("\n")
                                     : fs::path(entry.fileName).extension().string();
        auto [bytes, fresh] = m_iconPngs.try_emplace(type);
        if (fresh)
            bytes->second = iconPng(icon);
        if (bytes->second.empty()) {
            result.error = "the file type's icon could not be made";
            return false;
        }
        if (linkFormat == 0) {
            m_thumbsLink = "data:image/png;base64," +
                           QByteArray::fromStdString(bytes->second).toBase64().toStdString();
        } else {
            const std::string name = thumbnailName(entry, ".png");
            m_thumbsLink = thumbnailLink(name);
            const std::string target = (thumbnailFolder() / name).string();
            m_written.push_back(target);
            AtomicFile file(m_staged.stage(target));
            if (!file.open() || !file.write(std::as_bytes(std::span(bytes->second))) ||
                !file.commit()) {
                result.error = file.errorText();
                return false;
            }
        }
        m_values = pictureValues(entry);
        return true;
    }

    // The address of thumbnail `name` from the pages.
    std::string thumbnailLink(const std::string& name) const {
        const fs::path relative = fs::path(m_request.thumbsFolder) / name;
        return urlEncoded(
            relative.is_absolute()
                ? relativeLink(m_request.outputFolder, relative.parent_path().string(), name)
                : relative.generic_string());
    }

    // "Ve-" and the picture's name without its extension. Two pictures of
    // one run that would share a name (a.jpg and a.bmp) get "Ve-a.jpg" and
    // "Ve-a-2.jpg", so that each page shows its own picture.
    std::string thumbnailName(const PictureSource& entry, const char* extension) {
        const std::string stem = "Ve-" + stemOf(entry.fileName);
        std::string name = stem + extension;
        for (int k = 2; !m_thumbnailNames.insert(name).second; ++k)
            name = stem + "-" + std::to_string(k) + extension;
        return name;
    }

    bool writeThumbnail(const PictureBuffer& thumbnail, const std::string& target, int linkFormat) {
        m_written.push_back(target);
        const std::string staged = m_staged.stage(target);
        if (linkFormat == 1) {
            JpegOptions options;
            options.quality = std::clamp(m_request.options.jpegQuality, 0, 100);
            options.progressive = m_request.options.progressive;
            return writeJpegFile(staged, thumbnail, options);
        }
        PictureBuffer reduced;
        const PictureBuffer* picture = &thumbnail;
        if (m_request.options.quantPng == 8 && thumbnail.bitCount() != 8) {
            reduced = reduceColours(thumbnail);
            if (!reduced)
                return false;
            picture = &reduced;
        }
        PngRequest request;
        request.fileName = staged;
        request.picture = picture;
        return writePng(request) == PngResult::Success;
    }

    // --- macros
    MacroValues pageValues() const {
        MacroValues v;
        v[OrgPathName] = m_orgLink;
        v[Width] = std::to_string(m_width);
        v[Height] = std::to_string(m_height);
        const std::string firstPage = fs::path(m_request.fileName).filename().string();
        const int number = m_page + 1;
        if (number > 1)
            v[PrevPage] = urlEncoded(pageFileName(firstPage, number - 1));
        v[PageNo] = std::to_string(number);
        if (number < m_pageCount)
            v[NextPage] = urlEncoded(pageFileName(firstPage, number + 1));
        v[Folder] = htmlEscaped(m_context.documentFolder);
        v[MaxPageNo] = std::to_string(m_pageCount);
        v[FolderL] = htmlEscaped(fs::path(m_context.documentFolder).filename().string());
        v[TodayDate] = m_today;
        return v;
    }

    MacroValues pictureValues(const PictureSource& entry) const {
        MacroValues v = pageValues();
        v[FileName] = htmlEscaped(entry.fileName);
        v[OrgFileName] = v[FileName];
        v[Pixel] = htmlEscaped(expandCaption("$(W)x$(H) $(C)bit", entry, m_environment));
        v[Info] = htmlEscaped(expandCaption("$(D) $(T) $(L)", entry, m_environment));
        v[Doc] = entry.infoText.empty() ? kFullWidthSpace : htmlEscaped(entry.infoText);
        v[PathName] = htmlEscaped(entry.fullPath());
        v[ThumbsName] = m_thumbsLink;
        v[Note] = noteHtml(entry.note);
        return v;
    }

    std::string expandMacros(std::string_view line, const PictureSource* entry) const {
        const MacroValues values = entry != nullptr ? m_values : pageValues();
        std::array<Substitution, kMacroCount> list;
        for (int i = 0; i < kMacroCount; ++i)
            list[static_cast<std::size_t>(i)] = {kMacroNames[static_cast<std::size_t>(i)],
                                                 values[static_cast<std::size_t>(i)]};
        return substituteByPasses(std::string(line), list);
    }

    const CatalogDefinition& m_def;
    const HtmlCatalogRequest& m_request;
    VarTable& m_vars;
    const HtmlCatalogContext& m_context;
    ThumbnailMaker m_maker;
    CaptionEnvironment m_environment;
    std::string m_today;
    int m_boxWidth = 1;
    int m_boxHeight = 1;
    bool m_table = false;
    int m_perPage = 0;
    int m_pageCount = 1;
    int m_page = 0;
    StagedFiles m_staged;
    std::vector<std::string> m_written;
    std::set<std::string> m_thumbnailNames;
    std::string m_text;
    // The picture in hand, and after it the most recent one.
    std::string m_orgLink;
    std::string m_thumbsLink;
    int m_width = 0;
    int m_height = 0;
    MacroValues m_values;
    bool m_thumbnailFolderFailed = false;
    // File-type icons as PNG, by file name extension (members apart).
    std::map<std::string, std::string> m_iconPngs;
};

} // namespace

CatalogDefinition catalogDefaults(int thumbsWidth, int thumbsHeight) {
    CatalogDefinition d;
    d.thumbsWidth = thumbsWidth;
    d.thumbsHeight = thumbsHeight;
    return d;
}

HtmlCatalogResult writeHtmlCatalog(const CatalogDefinition& definition,
                                   const HtmlCatalogRequest& request,
                                   std::span<PictureSource* const> pictures, VarTable& vars,
                                   const HtmlCatalogContext& context) {
    if (context.loader == nullptr)
        return {};
    CatalogRun run(definition, request, vars, context);
    HtmlCatalogResult result = run.run(pictures);
    result.thumbnailFolderFailed = run.thumbnailFolderFailed();
    return result;
}

} // namespace vemra
