#include "views/printing.h"

#include "document/folder_document.h"
#include "document/picture_notes.h"
#include "framework/message_box.h"
#include "platform/install_layout.h"
#include "platform/program_path.h"
#include "views/print_dialog.h"
#include "views/progress_window_sink.h"

#include <QPrinter>

#include <filesystem>

namespace vemra {
namespace {

// A CUPS printer or a PDF file; Qt tells no more of a failed page than
// that the job was aborted or went wrong.
class PrinterTarget final : public PagedDeviceTarget {
public:
    explicit PrinterTarget(QPrinter& printer) : PagedDeviceTarget(printer), m_printer(printer) {}

protected:
    int failureCode() const override {
        return m_printer.printerState() == QPrinter::Aborted ? -2 : -1;
    }
    std::string startFailure() const override {
        const QString target = m_printer.outputFileName().isEmpty() ? m_printer.printerName()
                                                                    : m_printer.outputFileName();
        return target.toStdString() + " に出力できません";
    }

private:
    QPrinter& m_printer;
};

} // namespace

std::string printDefinitionFolder() {
    return shippedDefinitionFolder(executableDir(), "print").string();
}

PrintJobResult printOnPrinter(QWidget* parent, QPrinter& printer, std::vector<PrintItem>& items,
                              const PrintJobRequest& request, PictureLoader* loader,
                              ProgressSink* progress) {
    PrinterTarget target(printer);
    PrintJobRequest withMessages = request;
    withMessages.pageError = [&](int code) {
        if (request.pageError)
            request.pageError(code);
        showInformation(parent, pageEndErrorText(code));
    };
    const PrintJobResult result = runPrintJob(target, items, withMessages, loader, progress);
    if (!result.started)
        showInformation(parent, "印刷開始できませんでした\n\n" + result.startError);
    return result;
}

void printSelectedPictures(QWidget* parent, SettingsStore& store, FolderDocument& document,
                           ProgressSink* progress) {
    if (document.selectedCount(false) == 0)
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The job's name, also the file name offered when printing to a file.
    printer.setDocName(QStringLiteral("Vemra:印刷"));
    PrintDialog dialog(store, printer, printDefinitionFolder(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Copies: the progress window lets the folder change meanwhile.
    std::vector<PrintItem> items;
    const std::string central = document.options().centralCacheFolder();
    for (int i = 0; i < document.displayedCount(); ++i) {
        const PictureSource* e = document.entryAt(i);
        if (e == nullptr || !e->isSelected())
            continue;
        PrintItem item{*e, PictureBuffer()};
        loadNote(item.entry, central);
        items.push_back(std::move(item));
    }
    PrintJobRequest request;
    request.definitionFile = dialog.definitionFile();
    printOnPrinter(parent, printer, items, request, document.pictureLoader(), progress);
}

void printShownPicture(QWidget* parent, SettingsStore& store, const PictureSource& entry,
                       const PictureBuffer& picture, const std::string& centralFolder) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString("Vemra:単体印刷[" + entry.fileName + "]"));
    PrintDialog dialog(store, printer, printDefinitionFolder(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<PrintItem> items(1);
    items[0].entry = entry;
    loadNote(items[0].entry, centralFolder);
    items[0].picture = picture.duplicate();
    PrintJobRequest request;
    request.definitionFile = dialog.definitionFile();
    request.single = true;
    ProgressWindowSink progress(parent);
    printOnPrinter(parent, printer, items, request, nullptr, &progress);
}

} // namespace vemra
