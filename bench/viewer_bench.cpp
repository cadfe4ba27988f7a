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
//   decode  the decode alone, as a cold step does it;
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
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

// Wall time and processor time of the calling thread: on a machine shared
// with other work the wall times stretch with the load, the processor
// times stay comparable.
struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
};

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

template <class Work> void measure(Times& times, Work work) {
    const auto start = Clock::now();
    const double cpu = threadCpuMs();
    if (!work())
        return;
    times.cpu.push_back(threadCpuMs() - cpu);
    times.wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char* what, const Times& times) {
    if (times.wall.empty())
        return;
    std::printf("%-8s median %7.2f ms wall %7.2f ms cpu, best %7.2f ms wall (%zu)\n", what,
                median(times.wall), median(times.cpu),
                *std::min_element(times.wall.begin(), times.wall.end()), times.wall.size());
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

    // The paint is forced into an image of the window's size, so it is
    // measured whether or not the platform shows the window.
    QImage screen(1280, 800, QImage::Format_RGB32);
    auto step = [&] {
        view.showNext();
        view.render(&screen);
        return true;
    };
    Times cold;
    Times ahead;
    for (int i = 0; i < steps && view.position() + 1 < count; ++i) {
        view.lookAhead().clear();
        measure(cold, step);
    }
    view.showEntry(0);
    for (int i = 0; i < steps && view.position() + 1 < count; ++i) {
        while (view.idleStep([] { return false; })) {
        }
        measure(ahead, step);
    }
    Times decode;
    for (int i = 0; i < std::min(steps, count); ++i)
        measure(decode, [&] { return vemra::loadViewerPicture(document, i, false).code == 0; });
    Times qt;
    for (int i = 0; i < std::min(steps, count); ++i) {
        measure(qt, [&] {
            QImageReader reader(QString::fromStdString(document.entryAt(i)->fullPath()));
            return !reader.read().isNull();
        });
    }
    std::printf("%d x %d pictures, view 1280 x 800, mode 1, ScaleMode 10\n",
                document.entryAt(0)->pictureWidth, document.entryAt(0)->pictureHeight);
    report("cold", cold);
    report("ahead", ahead);
    report("decode", decode);
    report("qt", qt);
    return 0;
}
