#pragma once

#include "document/picture_source.h"
#include "document/print_definition.h"
#include "imaging/picture_buffer.h"

#include <QPainter>

#include <functional>
#include <span>
#include <string>
#include <string_view>

class QPagedPaintDevice;

namespace vemra {

class PictureLoader;
class ProgressSink;

// One picture to print: a copy of its entry and, when the caller has it
// decoded already (the viewer), the picture; else the loader decodes it.
struct PrintItem {
    PictureSource entry;
    PictureBuffer picture;
};

// Where a print job's pages go. Page ends report a positive number, or one
// of the negative codes pageEndErrorText() names.
class PrintTarget {
public:
    virtual ~PrintTarget() = default;
    // Starts the job with its first page; false with the reason when it
    // cannot start.
    virtual bool begin(std::string& reason) = 0;
    virtual QPainter& painter() = 0;
    virtual PrintMetrics metrics() const = 0;
    // Ends the page and starts another.
    virtual int nextPage() = 0;
    // Ends the last page and the job.
    virtual int end() = 0;
};

// A printer or a PDF file, through a painter on its paged device.
class PagedDeviceTarget : public PrintTarget {
public:
    explicit PagedDeviceTarget(QPagedPaintDevice& device) : m_device(device) {}
    bool begin(std::string& reason) override;
    QPainter& painter() override { return m_painter; }
    PrintMetrics metrics() const override;
    int nextPage() override;
    int end() override;

protected:
    // The code of a failed page end; a printer tells more than -1.
    virtual int failureCode() const { return -1; }
    // The reason a job could not start.
    virtual std::string startFailure() const;

    QPagedPaintDevice& m_device;
    QPainter m_painter;
};

// The text shown for a failed page end (-1 to -5); empty for others.
std::string_view pageEndErrorText(int code);

struct PrintJobRequest {
    // Empty or missing: each picture alone, as large as the page allows.
    std::string definitionFile;
    // From the viewer: one page, "$PAGE" 1, "N" ignored, and the progress
    // text is "[name]を印刷中...".
    bool single = false;
    // Told of every failed page end; printing goes on.
    std::function<void(int code)> pageError;
};

struct PrintJobResult {
    bool started = false;
    std::string startError;
    int pages = 0;
    bool cancelled = false;
    // The last page could not be finished, so the job is lost.
    bool aborted = false;
};

// Prints `items` (in order) on `target`: each page starts with the next
// picture not printed yet, the definition's "N" lines move further, and
// the next page starts after the last picture a page used. `progress` (may
// be null) shows "ファイル印刷中..." with one step per picture and may stop
// the job after a page.
PrintJobResult runPrintJob(PrintTarget& target, std::span<PrintItem> items,
                           const PrintJobRequest& request, PictureLoader* loader,
                           ProgressSink* progress);

// One picture as large as the printable area allows, centred: the page
// without a definition file.
void drawFallbackPage(QPainter& painter, const PrintMetrics& metrics, PrintPictures& pictures);

} // namespace vemra
