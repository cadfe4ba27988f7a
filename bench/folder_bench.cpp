// The folder tree and the folder monitor under load, beside what a user
// would otherwise have:
// - expanding a folder of 10,000 sub-folders in the tree, against Qt's own
//   QFileSystemModel loading the same folder (the tree this one replaced)
//   and `find -maxdepth 1 -type d` listing it;
// - `cp` copying 1,000 pictures into the folder shown with the monitor on:
//   how many times the folder is read and how long after the last file,
//   against the number of notices QFileSystemWatcher gives for the same copy.
// Usage: folder-bench [SUBFOLDERS] [FILES]

#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "framework/folder_monitor.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/folder_tree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>

#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// CPU time of this thread, and of the children that ended, in ms: the
// machine may be busy, and wall times then say more about the others.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double bestOf(int runs, const std::function<double()>& work) {
    double best = 1e18;
    for (int run = 0; run < runs; ++run) {
        best = std::min(best, work());
    }
    return best;
}

// Runs a peer program to its end; its time with the process start.
double runPeer(const QString& program, const QStringList& arguments) {
    const auto start = std::chrono::steady_clock::now();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    return msSince(start);
}

void waitEvents(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string big = root + "/big";
    ::mkdir(big.c_str(), 0777);
    for (int i = 0; i < folders; ++i) {
        const std::string sub = big + "/folder-" + std::to_string(i);
        ::mkdir(sub.c_str(), 0777);
        if (i % 10 == 0) {
            ::mkdir((sub + "/inner").c_str(), 0777); // some have expand buttons
        }
    }

    vemra::SettingsStore store(root + "/bench.ini");
    vemra::DecoderRegistry registry(store);
    registry.setWriteBack(false);
    vemra::RegistryScanServices services(registry);
    vemra::ThumbCache cache;
    vemra::FolderDocument document(services, cache);

    std::printf("folder-bench: a folder of %d sub-folders, %d files copied\n", folders, files);
    double oursCpu = 1e18;
    const double ours = bestOf(5, [&] {
        vemra::FolderTree tree(document, store, vemra::FolderTree::Kind::Drives);
        tree.setVolumeSource([] { return std::vector<vemra::MountedVolume>{}; });
        tree.resize(300, 700);
        tree.show();
        tree.selectPath(root, false);
        QTreeWidgetItem* item = tree.findItem(root);
        tree.populate(item);
        QTreeWidgetItem* bigItem = tree.findItem(big);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuMs();
        bigItem->setExpanded(true); // reads, sorts and makes its children's items
        tree.scrollToItem(bigItem->child(0));
        (void)tree.viewport()->grab(); // and shows them
        const double ms = msSince(start);
        oursCpu = std::min(oursCpu, threadCpuMs() - cpuStart);
        if (bigItem->childCount() != folders) {
            std::fprintf(stderr, "expected %d children, got %d\n", folders, bigItem->childCount());
            std::exit(1);
        }
        return ms;
    });
    std::printf(
        "  expanding it in the folder tree and painting: %.1f ms (best of 5; CPU %.1f ms)\n", ours,
        oursCpu);
    const double model = bestOf(5, [&] {
        QFileSystemModel fsModel;
        fsModel.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
        bool loaded = false;
        QObject::connect(&fsModel, &QFileSystemModel::directoryLoaded, [&](const QString& path) {
            loaded = loaded || path == dir.path() + "/big";
        });
        const auto start = std::chrono::steady_clock::now();
        fsModel.setRootPath(QString::fromStdString(big));
        while (!loaded) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        return msSince(start);
    });
    std::printf("  QFileSystemModel loading it (in the background): %.1f ms (best of 5)\n", model);
    double findCpu = 1e18;
    const double find = bestOf(5, [&] {
        const double cpuStart = childrenCpuMs();
        const double ms =
            runPeer("find", {QString::fromStdString(big), "-maxdepth", "1", "-type", "d"});
        findCpu = std::min(findCpu, childrenCpuMs() - cpuStart);
        return ms;
    });
    std::printf("  find -maxdepth 1 -type d: %.1f ms (best of 5, with process start; CPU %.1f "
                "ms)\n",
                find, findCpu);

    // The copies: pictures made once, then copied in by cp while the
    // monitor watches the folder the document shows.
    const std::string source = root + "/source";
    ::mkdir(source.c_str(), 0777);
    for (int i = 0; i < files; ++i) {
        std::ofstream(source + "/picture-" + std::to_string(i) + ".jpg") << std::string(20000, 'x');
    }
    bool oneReading = true;
    for (const int count : {100, files}) {
        const std::string shown = root + "/shown-" + std::to_string(count);
        ::mkdir(shown.c_str(), 0777);
        document.openFolder(shown, nullptr, false);
        vemra::FolderMonitor monitor;
        monitor.setEntryCount([&] { return document.displayedCount(); });
        monitor.setBusy([&] { return document.isScanning(); });
        int readings = 0;
        std::chrono::steady_clock::time_point readAt;
        double readMs = 0;
        QObject::connect(&monitor, &vemra::FolderMonitor::changed, [&] {
            ++readings;
            readAt = std::chrono::steady_clock::now();
            const auto start = std::chrono::steady_clock::now();
            document.refreshIfCurrent(shown);
            readMs = msSince(start);
        });
        monitor.watch(shown, false);
        QFileSystemWatcher qtWatcher({QString::fromStdString(shown)});
        int qtNotices = 0;
        QObject::connect(&qtWatcher, &QFileSystemWatcher::directoryChanged, [&] { ++qtNotices; });

        const auto copyStart = std::chrono::steady_clock::now();
        QProcess cp;
        cp.start("sh", {"-c", QString::fromStdString("ls " + source + " | head -n " +
                                                     std::to_string(count) + " | (cd " + source +
                                                     " && xargs cp -t " + shown + ")")});
        while (cp.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        const auto copyEnd = std::chrono::steady_clock::now();
        waitEvents(2000);
        std::printf("  cp of %d files: %.1f ms; folder read %d time(s), the last %.0f ms after the "
                    "last file (reading: %.1f ms, %d entries); QFileSystemWatcher: %d notices\n",
                    count, std::chrono::duration<double, std::milli>(copyEnd - copyStart).count(),
                    readings, std::chrono::duration<double, std::milli>(readAt - copyEnd).count(),
                    readMs, document.displayedCount(), qtNotices);
        oneReading = oneReading && document.displayedCount() == count;
    }
    return oneReading ? 0 : 1;
}
