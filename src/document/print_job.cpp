#include "document/print_job.h"

#include "document/picture_loader.h"
#include "document/scan_services.h"
#include "document/written_colours.h"

#include <QPagedPaintDevice>

#include <optional>

namespace vemra {
namespace {

// The pictures of one page: it starts at `first`; "N" moves on through the
// items. A picture is decoded once when a page first needs it and released
// when the page moves past it.
class PagePictures final : public PrintPictures {
public:
    PagePictures(std::span<PrintItem> items, std::size_t first, PictureLoader* loader,
                 ProgressSink* progress, bool fixed)
        : m_items(items), m_at(first), m_loader(loader), m_progress(progress), m_fixed(fixed) {}

    const PictureSource* current() const override {
        return m_at < m_items.size() ? &m_items[m_at].entry : nullptr;
    }

    const PictureBuffer* decoded() override {
        if (m_at >= m_items.size())
            return nullptr;
        PrintItem& item = m_items[m_at];
        if (item.picture)
            return &item.picture;
        if (!m_tried) {
            m_tried = true;
            PictureSource work = item.entry;
            if (m_loader == nullptr || m_loader->loadForThumbnail(work, 0, 0, m_decoded) != 0)
                m_decoded = PictureBuffer();
            prepareForWriting(work, m_loader, m_decoded);
        }
        return m_decoded ? &m_decoded : nullptr;
    }

    void next() override {
        if (m_fixed || m_at >= m_items.size())
            return;
        m_decoded = PictureBuffer();
        m_tried = false;
        if (++m_at < m_items.size() && m_progress != nullptr) {
            m_progress->setMessage(m_items[m_at].entry.fileName);
            m_progress->advance();
        }
    }

    // Where the next page starts.
    std::size_t following() const { return m_at + 1; }

private:
    std::span<PrintItem> m_items;
    std::size_t m_at;
    PictureLoader* m_loader;
    ProgressSink* m_progress;
    bool m_fixed;
    PictureBuffer m_decoded;
    bool m_tried = false;
};

} // namespace

bool PagedDeviceTarget::begin(std::string& reason) {
    if (m_painter.begin(&m_device))
        return true;
    reason = startFailure();
    return false;
}

PrintMetrics PagedDeviceTarget::metrics() const {
    return PrintMetrics::of(m_device);
}

int PagedDeviceTarget::nextPage() {
    return m_device.newPage() ? 1 : failureCode();
}

int PagedDeviceTarget::end() {
    return m_painter.end() ? 1 : failureCode();
}

std::string PagedDeviceTarget::startFailure() const {
    return "出力先を開けませんでした";
}

std::string_view pageEndErrorText(int code) {
    switch (code) {
    case -1:
        return "一般的なエラーです";
    case -2:
        return "アプリケーションのアボート関数が 0 を返したために、ジョブを終了したことを示します";
    case -3:
        return "ユーザーが、プリント マネージャを使ってジョブを終了させたことを示します";
    case -4:
        return "現在、スプールに必要なディスク領域が十分でなく、領域が回復される見込みがないことを"
               "示"
               "します";
    case -5:
        return "スプールに必要なメモリが十分にないことを示します";
    default:
        return {};
    }
}

void drawFallbackPage(QPainter& painter, const PrintMetrics& metrics, PrintPictures& pictures) {
    drawPrintPicture(painter, metrics, PrintBox{0, 0, metrics.widthPx, metrics.heightPx}, 15,
                     pictures);
}

PrintJobResult runPrintJob(PrintTarget& target, std::span<PrintItem> items,
                           const PrintJobRequest& request, PictureLoader* loader,
                           ProgressSink* progress) {
    PrintJobResult result;
    if (items.empty())
        return result;
    std::optional<PrintDefinition> definition = PrintDefinition::read(request.definitionFile);
    if (!target.begin(result.startError))
        return result;
    result.started = true;
    if (progress != nullptr)
        progress->begin("ファイル印刷中...", "", static_cast<int>(items.size()));
    const PrintMetrics metrics = target.metrics();
    std::size_t at = 0;
    while (at < items.size()) {
        if (result.pages > 0) {
            const int ended = target.nextPage();
            if (ended <= 0 && request.pageError)
                request.pageError(ended);
        }
        if (progress != nullptr) {
            progress->setMessage(request.single ? "[" + items[at].entry.fileName + "]を印刷中..."
                                                : items[at].entry.fileName);
            progress->advance();
        }
        PagePictures pictures(items, at, loader, progress, request.single);
        if (definition) {
            definition->setPageVariables(metrics, request.single ? 1 : result.pages + 1);
            definition->drawPage(target.painter(), metrics, pictures);
        } else {
            drawFallbackPage(target.painter(), metrics, pictures);
        }
        ++result.pages;
        at = pictures.following();
        if (request.single)
            break;
        if (progress != nullptr && progress->cancelRequested()) {
            result.cancelled = true;
            break;
        }
    }
    // Ending the painter ends the last page; when that fails the job is
    // lost and said so.
    const int lastEnd = target.end();
    if (lastEnd <= 0) {
        if (request.pageError)
            request.pageError(lastEnd);
        result.aborted = true;
    }
    if (progress != nullptr)
        progress->end();
    return result;
}

} // namespace vemra
