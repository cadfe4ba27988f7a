// Stepping through camera pictures in the viewer, as a user does with the
// arrow keys: a 1280 x 800 view in mode 1 (the picture at its own size,
// the visible part painted) with ScaleMode 10, over a folder of 12-megapixel
// JPEG files.
//   viewer-bench FOLDER [STEPS]
// prints, per step (median and best over STEPS steps):
//   cold    from the step command to the picture painted, the picture not
//           decoded before (decode, layout, paint);
//   ahead   the same after the look-ahead decoded the next picture in idle
//           time (the user looked at the current one meanwhile);
//   qt      Qt's own reader decoding the same files whole (QImageReader),
//           the in-process peer of a Qt viewer.
// djpeg, the plain libjpeg-turbo decode, is timed beside it by
// run_viewer_bench.sh.

#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/picture_view.h"

#include <QApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

void report(const char* what, std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("%-8s median %7.2f ms  best %7.2f ms  (%zu steps)\n", what, times[times.size() / 2],
                times.front(), times.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: viewer-bench FOLDER [STEPS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string folder = argv[1];
    const int steps = argc > 2 ? std::max(2, std::atoi(argv[2])) : 12;

    QTemporaryDir dir;
    vemra::SettingsStore store(dir.filePath(QStringLiteral("vemra.ini")).toStdString());
    store.putInt("COneView", "FitSize", 1);
    store.putInt("COneView", "ScaleMode", 10);
    vemra::DecoderRegistry registry(store);
    registry.setWriteBack(false);
    vemra::RegistryScanServices services(registry);
    vemra::ThumbCache cache;
    vemra::FolderDocument document(services, cache);
    vemra::RegistryPictureLoader loader(registry);
    document.setPictureLoader(&loader);
    document.openFolder(folder, nullptr, false);
    const int count = document.displayedCount();
    if (count < 2) {
        std::fprintf(stderr, "viewer-bench: %s holds fewer than two pictures\n", folder.c_str());
        return 1;
    }

    vemra::PictureView view(document, &store);
    view.resize(1280, 800);
    view.show();
    view.showEntry(0);
    view.repaint();

    auto step = [&] {
        const auto start = Clock::now();
        view.showNext();
        view.repaint();
        return msSince(start);
    };
    std::vector<double> cold;
    std::vector<double> ahead;
    for (int i = 0; i < steps && view.position() + 1 < count; ++i) {
        view.lookAhead().clear();
        cold.push_back(step());
    }
    view.showEntry(0);
    for (int i = 0; i < steps && view.position() + 1 < count; ++i) {
        while (view.idleStep([] { return false; })) {
        }
        ahead.push_back(step());
    }
    std::vector<double> qt;
    for (int i = 0; i < std::min(steps, count); ++i) {
        const auto start = Clock::now();
        QImageReader reader(QString::fromStdString(document.entryAt(i)->fullPath()));
        const QImage image = reader.read();
        if (!image.isNull())
            qt.push_back(msSince(start));
    }
    std::printf("%d x %d pictures, view 1280 x 800, mode 1, ScaleMode 10\n",
                document.entryAt(0)->pictureWidth, document.entryAt(0)->pictureHeight);
    report("cold", cold);
    report("ahead", ahead);
    report("qt", qt);
    return 0;
}
