// Times the thumbnail grid's hot paths on a folder of generated pictures:
// the idle work that makes every thumbnail (decode, scale, sharpen), then a
// full repaint of a 1280 x 960 window of 110 x 110 cells with every
// thumbnail in memory, and scrolling from top to bottom one page at a time
// (each page a full repaint), which is what a user holding Page Down sees.
// Usage: grid-bench [COUNT]. Prints the best of five runs of each.

#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/thumbnail_grid.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

double bestOf(int runs, const std::function<void()>& work) {
    double best = 1e18;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        best = std::min(best, ms);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    QTemporaryDir dir;
    for (int i = 0; i < count; ++i) {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 200, 230));
        QPainter painter(&image);
        painter.drawEllipse(QRect(20, 20, 600, 440));
        painter.end();
        image.save(dir.filePath(QString::asprintf("pic%05d.png", i)));
    }
    vemra::SettingsStore store(dir.filePath("bench.ini").toStdString());
    vemra::DecoderRegistry registry(store);
    registry.setWriteBack(false);
    vemra::RegistryScanServices services(registry);
    vemra::RegistryPictureLoader loader(registry);
    vemra::ThumbCache cache;
    vemra::FolderDocument document(services, cache);
    document.setPictureLoader(&loader);
    vemra::ThumbnailGrid view(document);
    view.resize(1280, 960);
    view.show();
    QApplication::processEvents();
    document.openFolder(dir.path().toStdString(), nullptr, false);

    const auto makeStart = std::chrono::steady_clock::now();
    for (int step = 0; view.idleStep(step); ++step) {
    }
    const double makeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - makeStart)
            .count();
    std::printf("grid-bench: %d pictures of 640 x 480 in cells of 110 x 110\n",
                document.displayedCount());
    std::printf("  making every thumbnail in idle steps: %.1f ms (%.2f ms each)\n", makeMs,
                makeMs / document.displayedCount());

    const double paintMs = bestOf(5, [&] {
        for (int i = 0; i < 20; ++i)
            (void)view.viewport()->grab();
    });
    std::printf("  full repaint of the window: %.2f ms (best of 5 runs of 20)\n", paintMs / 20);

    int pages = 0;
    const double scrollMs = bestOf(5, [&] {
        view.scrollToTop(0);
        pages = 0;
        while (true) {
            const long long before = view.top();
            view.onCommand(32773); // next page
            (void)view.viewport()->grab();
            ++pages;
            if (view.top() == before)
                break;
        }
    });
    std::printf("  paging through the folder: %.1f ms for %d pages (%.2f ms a page)\n", scrollMs,
                pages, scrollMs / pages);
    return 0;
}
