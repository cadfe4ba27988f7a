#include "print_commands.h"

#include "document/caption_font.h"
#include "document/picture_loader.h"
#include "document/print_job.h"
#include "output_commands.h"
#include "picture_commands.h"
#include "registry_cli.h"

#include <QPageSize>
#include <QPrinter>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vemra::cli {
namespace {

namespace fs = std::filesystem;

struct PaperName {
    std::string_view name;
    QPageSize::PageSizeId id;
};

constexpr PaperName kPapers[] = {
    {"A3", QPageSize::A3},
    {"A4", QPageSize::A4},
    {"A5", QPageSize::A5},
    {"A6", QPageSize::A6},
    {"B4", QPageSize::B4},
    {"B5", QPageSize::B5},
    {"JIS-B4", QPageSize::JisB4},
    {"JIS-B5", QPageSize::JisB5},
    {"Letter", QPageSize::Letter},
    {"Legal", QPageSize::Legal},
    {"Postcard", QPageSize::Postcard},
};

std::optional<QPageSize::PageSizeId> paperOf(std::string_view name) {
    for (const PaperName& p : kPapers) {
        if (QString::fromUtf8(p.name.data(), p.name.size())
                .compare(QString::fromUtf8(name.data(), name.size()), Qt::CaseInsensitive) == 0)
            return p.id;
    }
    return std::nullopt;
}

// A PDF file written beside its target and renamed over it once complete,
// so a failed run never leaves half a file under the name asked for.
class StagedPdf {
public:
    explicit StagedPdf(std::string target) : m_target(std::move(target)) {
        std::string pattern = m_target + ".XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            // mkstemp makes the file private; the PDF gets a new file's mode.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
            ::close(fd);
            m_staged = pattern;
        }
    }
    ~StagedPdf() {
        if (!m_staged.empty())
            ::unlink(m_staged.c_str());
    }
    StagedPdf(const StagedPdf&) = delete;
    StagedPdf& operator=(const StagedPdf&) = delete;

    const std::string& path() const { return m_staged; }
    bool commit() {
        std::error_code error;
        fs::rename(m_staged, m_target, error);
        if (error)
            return false;
        m_staged.clear();
        return true;
    }

private:
    std::string m_target;
    std::string m_staged;
};

} // namespace

int runPrint(std::span<const std::string_view> args) {
    constexpr const char* kUsage = "print: usage is print FILE... [--definition DEF.dps] --pdf "
                                   "OUT.pdf [--paper A4] [--landscape]";
    std::vector<std::string> files;
    std::string definition;
    std::string output;
    QPageSize::PageSizeId paper = QPageSize::A4;
    bool landscape = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--definition" && hasValue) {
            definition = std::string(args[++i]);
        } else if (a == "--pdf" && hasValue) {
            output = std::string(args[++i]);
        } else if (a == "--paper" && hasValue) {
            const auto id = paperOf(args[++i]);
            if (!id)
                return usageError("print: --paper takes A3, A4, A5, A6, B4, B5, JIS-B4, JIS-B5, "
                                  "Letter, Legal or Postcard");
            paper = *id;
        } else if (a == "--landscape") {
            landscape = true;
        } else if (!a.starts_with("-")) {
            files.emplace_back(a);
        } else {
            return usageError(kUsage);
        }
    }
    if (files.empty() || output.empty())
        return usageError(kUsage);
    if (!definition.empty() && !fs::is_regular_file(definition)) {
        std::fprintf(stderr, "vemra-cli: %s: no such definition file\n", definition.c_str());
        return 1;
    }

    // Text is drawn with the program's fonts.
    ensureGuiApplication();
    registerFontSubstitutions();
    auto pictures = describe(files);
    if (!pictures)
        return 1;
    std::vector<PrintItem> items;
    items.reserve(pictures->entries.size());
    for (const auto& entry : pictures->entries)
        items.push_back(PrintItem{*entry, PictureBuffer()});

    StagedPdf staged(output);
    if (staged.path().empty()) {
        std::fprintf(stderr, "vemra-cli: %s: cannot write beside this file\n", output.c_str());
        return 1;
    }
    // The printer as the print dialog leaves it, writing a PDF instead.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(staged.path()));
    printer.setPageSize(QPageSize(paper));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(QStringLiteral("Vemra:印刷"));

    PagedDeviceTarget target(printer);
    PrintJobRequest request;
    request.definitionFile = definition;
    bool pageFailed = false;
    request.pageError = [&](int code) {
        pageFailed = true;
        std::fprintf(stderr, "vemra-cli: %s: %s\n", output.c_str(),
                     std::string(pageEndErrorText(code)).c_str());
    };
    RegistryPictureLoader loader(*pictures->registry);
    const PrintJobResult result = runPrintJob(target, items, request, &loader, nullptr);
    if (!result.started) {
        std::fprintf(stderr, "vemra-cli: %s: 印刷開始できませんでした: %s\n", output.c_str(),
                     result.startError.c_str());
        return 1;
    }
    if (pageFailed || result.aborted || !staged.commit()) {
        std::fprintf(stderr, "vemra-cli: %s: the PDF could not be written\n", output.c_str());
        return 1;
    }
    std::printf("%s\t%d\n", output.c_str(), result.pages);
    return 0;
}

} // namespace vemra::cli
