// Browsing a folder as a user does, through the whole program: the real
// application start-up (VemraApp: main window, grid, document, decoders,
// plug-ins), the real idle driver and event loop, offscreen. One run of
//   browse-bench MODE FOLDER [--presses N] [--visible-list FILE]
// opens FOLDER in a 1280 x 960 main window with cells of 110 x 110 and
// prints one measurement:
//   first   no thumbnail cache: the scan alone, the time until every visible
//           cell shows its thumbnail (end of stage 2, then the next paint),
//           then, while the background stage makes the other thumbnails,
//           the delay of N synthetic key presses (Right, Left, ...) posted
//           from another thread at random intervals, from posting until the
//           grid has handled them; finally the built-in decoder at 1/8 on
//           the visible pictures alone, the floor of the first screen.
//   cache   with CacheFolder and AutoCacheFolder on: makes every thumbnail
//           and writes the folder's cache file when the program ends.
//   reopen  with CacheFolder on, after `cache`: the time until every visible
//           cell shows its thumbnail, and how many came from the cache.
//   rss     VmRSS and VmHWM after start-up, after the scan, after stage 2
//           and after stage 3 made every thumbnail; with --cache-folder 1
//           every thumbnail is also stored in the folder's cache (held by
//           the program until the folder is left, nothing written).
//   select  selections and operations on many selected files in a folder
//           of 100,000 entries (browse_selection.cpp).
// The idle handler is the application's own (MainWindow::idle), wrapped
// only to watch the grid's stage after each step.

#include "app/vemra_application.h"
#include "bench_percentile.h"
#include "document/folder_document.h"
#include "document/picture_source.h"
#include "framework/idle_driver.h"
#include "imaging/decoder.h"
#include "imaging/picture_buffer.h"
#include "settings/settings_store.h"
#include "views/main_window.h"
#include "views/thumbnail_grid.h"

#include <vemra/spi.h>

#include <QApplication>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Processor time (user + system) of the process, or of the calling thread,
// in milliseconds: on a machine shared with other work the wall times
// stretch with the load, these do not.
double cpuMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}
double processCpuMs() {
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}
double threadCpuMs() {
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

enum class Mode { First, Cache, Reopen, Rss };

struct Arguments {
    Mode mode = Mode::First;
    std::string folder;
    int presses = 150;
    std::string visibleList;
    bool cacheFolder = false;
};

bool parseArguments(int argc, char** argv, Arguments& out) {
    if (argc < 3)
        return false;
    const std::string mode = argv[1];
    if (mode == "first")
        out.mode = Mode::First;
    else if (mode == "cache")
        out.mode = Mode::Cache;
    else if (mode == "reopen")
        out.mode = Mode::Reopen;
    else if (mode == "rss")
        out.mode = Mode::Rss;
    else
        return false;
    out.folder = std::filesystem::absolute(argv[2]).lexically_normal().string();
    while (!out.folder.empty() && out.folder.back() == '/')
        out.folder.pop_back();
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--presses")
            out.presses = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--visible-list")
            out.visibleList = argv[i + 1];
        else if (option == "--cache-folder")
            out.cacheFolder = std::atoi(argv[i + 1]) != 0;
        else
            return false;
    }
    return true;
}

// VmRSS and VmHWM of this process in kilobytes, and what the C library's
// heap holds: the bytes handed out (small blocks and mapped ones) and the
// free bytes it keeps in its arenas instead of giving them back.
struct Memory {
    long rssKb = 0;
    long peakKb = 0;
    long heapUsedKb = 0;
    long heapFreeKb = 0;
};

Memory currentMemory() {
    Memory memory;
    const struct mallinfo2 heap = mallinfo2();
    memory.heapUsedKb = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
    memory.heapFreeKb = static_cast<long>(heap.fordblks / 1024);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            memory.rssKb = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            memory.peakKb = std::atol(line.c_str() + 6);
    }
    return memory;
}

// Times the handling of events as the event loop delivers them: key presses
// sent to the grid (from posting until handled) and paints of its viewport.
class BenchApplication : public QApplication {
public:
    using QApplication::QApplication;

    std::function<void(QObject*, QEvent*, Clock::time_point begin)> afterEvent;

    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!afterEvent || (type != QEvent::KeyPress && type != QEvent::Paint))
            return QApplication::notify(receiver, event);
        const Clock::time_point begin = Clock::now();
        const bool result = QApplication::notify(receiver, event);
        afterEvent(receiver, event, begin);
        return result;
    }
};

// Posts key presses to a widget from another thread at random intervals,
// as a keyboard would, whatever the user-interface thread is doing.
class KeyPoster {
public:
    // The keyboard device is looked up here, on the user-interface thread,
    // where Qt creates it on first use.
    KeyPoster(QWidget* target, int count)
        : m_target(target), m_keyboard(QInputDevice::primaryKeyboard()), m_count(count) {}
    ~KeyPoster() {
        if (m_thread.joinable())
            m_thread.join();
    }

    void start() {
        m_thread = std::thread([this] {
            std::mt19937 random(20261208);
            std::uniform_int_distribution<int> gap(15, 120);
            for (int i = 0; i < m_count; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
                // Right, then Left: the focus walks back and forth on the
                // first screen, so the grid stays in the background stage.
                const Qt::Key key = i % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
                {
                    std::lock_guard guard(m_mutex);
                    m_posted.push_back(Clock::now());
                }
                QCoreApplication::postEvent(m_target,
                                            new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, 0,
                                                          0, 0, QString(), false, 1, m_keyboard));
            }
        });
    }

    Clock::time_point postedAt(std::size_t index) {
        std::lock_guard guard(m_mutex);
        return index < m_posted.size() ? m_posted[index] : Clock::now();
    }

private:
    QWidget* m_target;
    const QInputDevice* m_keyboard;
    int m_count;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_posted;
    std::thread m_thread;
};

// Every folder keeps its own cache file (no CacheDataFolder), so the cache
// written by one run is found by the next.
std::string settingsText(Mode mode, bool cacheFolder) {
    const bool cache = mode == Mode::Cache || mode == Mode::Reopen || cacheFolder;
    std::string text = "[KPDoc]\nThumbsSize=110,110\nThumbsCreate=1\nRestoreFolder=0\n";
    text += cache ? "CacheFolder=1\n" : "CacheFolder=0\n";
    text += mode == Mode::Cache ? "AutoCacheFolder=1\n" : "AutoCacheFolder=0\n";
    text += "CacheDataFolder=\n";
    return text;
}

class Bench {
public:
    Bench(BenchApplication& app, const Arguments& arguments, const std::string& work)
        : m_qapp(app), m_args(arguments) {
        std::filesystem::create_directories(work + "/cwd");
        // The program's folder is the build tree (the bench runs from its
        // bench/ folder), so the plug-ins load as they do for `vemra`.
        const std::string program =
            std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string();
        m_vemra = std::make_unique<vemra::VemraApp>(
            vemra::StartupEnvironment{{"-nologo"}, program, work + "/cwd"});
    }

    bool start() {
        if (!m_vemra->initInstance())
            return false;
        m_frame = m_vemra->mainWindow();
        m_document = m_vemra->document();
        m_grid = m_frame->grid();
        m_frame->resize(1280, 960);
        QApplication::processEvents();
        m_started = currentMemory();

        vemra::IdleDriver* idle = vemra::IdleDriver::current();
        if (idle == nullptr || m_grid == nullptr)
            return false;
        // The application's own handler, watched after every step.
        idle->setHandler([this](int count) {
            const Clock::time_point begin = Clock::now();
            const double cpuBegin = threadCpuMs();
            const vemra::ThumbnailGrid::Stage stage = m_grid->stage();
            const bool more = m_frame != nullptr && m_frame->idle(count);
            if (stage == vemra::ThumbnailGrid::Stage::MakeAll) {
                m_backgroundSteps.push_back(msBetween(begin, Clock::now()));
                m_backgroundStepsCpu.push_back(threadCpuMs() - cpuBegin);
            }
            afterIdleStep();
            return more;
        });
        m_qapp.afterEvent = [this](QObject* receiver, QEvent* event, Clock::time_point begin) {
            afterEvent(receiver, event, begin);
        };
        QTimer::singleShot(0, [this] { openFolder(); });
        // A picture that cannot be made would keep a visible cell empty for
        // ever; a run that long has failed.
        QTimer::singleShot(std::chrono::minutes(20), [this] {
            if (m_phase != Phase::Done) {
                std::fprintf(stderr, "browse-bench: gave up after 20 minutes\n");
                stop(false);
            }
        });
        return true;
    }

    // Prints the measurement; the exit code.
    int finish() {
        m_qapp.afterEvent = nullptr;
        m_poster.reset();
        if (!m_ok)
            return 1;
        report();
        m_vemra->exitInstance(); // with AutoCacheFolder, writes the cache file
        return 0;
    }

private:
    enum class Phase { Opening, WaitVisible, WaitPaint, Presses, WaitAll, Done };

    void openFolder() {
        m_phase = Phase::Opening;
        m_openBegin = Clock::now();
        m_openCpu = processCpuMs();
        m_document->openFolder(m_args.folder, nullptr, m_document->options().cacheFolder);
        m_scanEnd = Clock::now();
        m_scanned = currentMemory();
        m_count = m_document->displayedCount();
        if (m_count == 0) {
            std::fprintf(stderr, "browse-bench: no pictures in %s\n", m_args.folder.c_str());
            stop(false);
            return;
        }
        m_phase = Phase::WaitVisible;
    }

    // The positions of the cells inside the grid's client area.
    std::vector<int> visiblePositions() const {
        std::vector<int> positions;
        const int height = m_grid->viewport()->height();
        for (int p = m_grid->layout().firstVisible(m_grid->top()); p < m_count; ++p) {
            if (m_grid->cellRectInView(p).top() >= height)
                break;
            positions.push_back(p);
        }
        return positions;
    }

    bool everyVisibleHasThumbnail() {
        for (const int p : visiblePositions()) {
            const vemra::PictureSource* entry = m_document->entryAt(p);
            if (entry == nullptr || !entry->thumbnail)
                return false;
        }
        return true;
    }

    void afterIdleStep() {
        using Stage = vemra::ThumbnailGrid::Stage;
        const Stage stage = m_grid->stage();
        if (m_phase == Phase::WaitVisible && !m_document->isScanning() &&
            (stage == Stage::MakeAll || stage == Stage::Idle) && everyVisibleHasThumbnail()) {
            m_visibleMade = Clock::now();
            m_visibleCpu = processCpuMs();
            m_afterVisible = currentMemory();
            m_visible = visiblePositions();
            for (const int p : m_visible) {
                if (const vemra::PictureSource* entry = m_document->entryAt(p))
                    m_fromCache += entry->cached ? 1 : 0;
            }
            m_phase = Phase::WaitPaint;
            m_grid->viewport()->update();
        } else if (m_phase == Phase::WaitAll && stage == Stage::Idle) {
            m_allMade = Clock::now();
            m_afterAll = currentMemory();
            m_thumbnailBytes = m_document->thumbnailBytesHeld();
            for (int p = 0; p < m_count; ++p) {
                const vemra::PictureSource* entry = m_document->entryAt(p);
                m_withThumbnail += entry != nullptr && entry->thumbnail ? 1 : 0;
            }
            stop(true);
        } else if (m_phase == Phase::Presses && stage == Stage::Idle) {
            m_pressesOutlivedStage3 = true;
        }
    }

    void afterEvent(QObject* receiver, QEvent* event, Clock::time_point begin) {
        const Clock::time_point end = Clock::now();
        if (event->type() == QEvent::Paint && receiver == m_grid->viewport()) {
            if (m_phase != Phase::WaitPaint)
                return;
            m_visibleShown = end;
            switch (m_args.mode) {
            case Mode::First:
                m_phase = Phase::Presses;
                m_poster = std::make_unique<KeyPoster>(m_grid, m_args.presses);
                m_poster->start();
                break;
            case Mode::Reopen:
                stop(true);
                break;
            case Mode::Cache:
            case Mode::Rss:
                m_phase = Phase::WaitAll;
                break;
            }
            return;
        }
        if (event->type() != QEvent::KeyPress || receiver != m_grid || m_phase != Phase::Presses)
            return;
        const Clock::time_point posted = m_poster->postedAt(m_delays.size());
        m_delays.push_back(msBetween(posted, end));
        m_handling.push_back(msBetween(begin, end));
        m_pressStages.push_back(static_cast<int>(m_grid->stage()));
        if (static_cast<int>(m_delays.size()) == m_args.presses)
            stop(true);
    }

    void stop(bool ok) {
        m_ok = ok;
        m_phase = Phase::Done;
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    }

    static void printMemory(const char* label, const Memory& memory) {
        std::printf("  %-32s VmRSS %7.1f MB  VmHWM %7.1f MB  heap: %7.1f MB used, %6.1f MB "
                    "free\n",
                    label, memory.rssKb / 1024.0, memory.peakKb / 1024.0,
                    memory.heapUsedKb / 1024.0, memory.heapFreeKb / 1024.0);
    }

    void report() {
        const QSize client = m_grid->viewport()->size();
        std::printf("browse-bench %s: %d entries in %s\n", modeName(), m_count,
                    m_args.folder.c_str());
        std::printf("  grid client area %d x %d in a 1280 x 960 window, %d visible cells "
                    "(%d columns)\n",
                    client.width(), client.height(), static_cast<int>(m_visible.size()),
                    m_grid->layout().columns);
        const double scanMs = msBetween(m_openBegin, m_scanEnd);
        const double visibleMs = msBetween(m_openBegin, m_visibleMade);
        const double shownMs = msBetween(m_openBegin, m_visibleShown);
        switch (m_args.mode) {
        case Mode::First:
        case Mode::Reopen:
            std::printf("  scan (opening the folder): %.1f ms\n", scanMs);
            std::printf("  open -> every visible thumbnail made: %.1f ms (%.2f ms a cell after "
                        "the scan); shown: %.1f ms\n",
                        visibleMs, (visibleMs - scanMs) / static_cast<double>(m_visible.size()),
                        shownMs);
            std::printf("    processor time of the process meanwhile: %.1f ms\n",
                        m_visibleCpu - m_openCpu);
            std::printf("  visible thumbnails loaded from the cache: %d of %zu\n", m_fromCache,
                        m_visible.size());
            break;
        case Mode::Cache:
            std::printf("  every thumbnail made and stored: %.1f s (%d of %d)\n",
                        msBetween(m_openBegin, m_allMade) / 1000, m_withThumbnail, m_count);
            break;
        case Mode::Rss:
            printMemory("after start-up", m_started);
            printMemory("after the scan", m_scanned);
            printMemory("after stage 2 (visible made)", m_afterVisible);
            printMemory("after stage 3 (all made)", m_afterAll);
            std::printf("  bytes per entry over start-up: %.0f after the scan, %.0f with every "
                        "thumbnail (%d of %d made in %.1f s)\n",
                        (m_scanned.rssKb - m_started.rssKb) * 1024.0 / m_count,
                        (m_afterAll.rssKb - m_started.rssKb) * 1024.0 / m_count, m_withThumbnail,
                        m_count, msBetween(m_openBegin, m_allMade) / 1000);
            std::printf("  thumbnails held as the memory budget counts them: %.1f MB\n",
                        static_cast<double>(m_thumbnailBytes) / (1 << 20));
            break;
        }
        if (m_args.mode == Mode::First) {
            reportPresses();
            reportDecodeFloor();
        }
        if (!m_args.visibleList.empty()) {
            std::ofstream list(m_args.visibleList);
            for (const int p : m_visible) {
                if (const vemra::PictureSource* entry = m_document->entryAt(p))
                    list << entry->fullPath() << '\n';
            }
        }
    }

    void reportPresses() {
        const auto inStage3 = std::count(m_pressStages.begin(), m_pressStages.end(),
                                         static_cast<int>(vemra::ThumbnailGrid::Stage::MakeAll));
        std::printf("  key presses during stage 3: %zu (%ld handled while stage 3 ran%s)\n",
                    m_delays.size(), static_cast<long>(inStage3),
                    m_pressesOutlivedStage3 ? "; stage 3 ended before the last" : "");
        std::printf("    delay post -> handled: median %.1f ms, 95%% %.1f ms, max %.1f ms "
                    "(goal < 50 ms)\n",
                    percentile(m_delays, 0.5), percentile(m_delays, 0.95),
                    percentile(m_delays, 1.0));
        std::printf("    handling the key itself: median %.2f ms, max %.2f ms\n",
                    percentile(m_handling, 0.5), percentile(m_handling, 1.0));
        std::printf("    stage-3 idle steps (a band of rows or a thumbnail each): %zu, "
                    "median %.1f ms, 95%% %.1f ms, max %.1f ms\n",
                    m_backgroundSteps.size(), percentile(m_backgroundSteps, 0.5),
                    percentile(m_backgroundSteps, 0.95), percentile(m_backgroundSteps, 1.0));
        std::printf("      their processor time: median %.1f ms, 95%% %.1f ms, max %.1f ms\n",
                    percentile(m_backgroundStepsCpu, 0.5), percentile(m_backgroundStepsCpu, 0.95),
                    percentile(m_backgroundStepsCpu, 1.0));
        const auto late =
            std::count_if(m_delays.begin(), m_delays.end(), [](double ms) { return ms >= 50; });
        std::printf("    presses at or over 50 ms: %ld of %zu\n", static_cast<long>(late),
                    m_delays.size());
    }

    // The built-in decoder at 1/8 on the visible pictures, one after the
    // other: what the first screen cannot beat.
    void reportDecodeFloor() {
        const vemra::BuiltinDecoder* jpeg = vemra::findBuiltinDecoder(vemra::kJpegDecoderId);
        if (jpeg == nullptr)
            return;
        vemra::DecodeOptions options;
        options.reduction = 8;
        int decoded = 0;
        const Clock::time_point begin = Clock::now();
        const double cpuBegin = processCpuMs();
        for (const int p : m_visible) {
            const vemra::PictureSource* entry = m_document->entryAt(p);
            if (entry == nullptr)
                continue;
            vemra::PictureBuffer picture;
            const std::string path = entry->fullPath();
            decoded += jpeg->picture(path.c_str(), 0, SPI_SOURCE_FILE, picture, options) == 0;
        }
        const double ms = msBetween(begin, Clock::now());
        const double cpu = processCpuMs() - cpuBegin;
        std::printf("  built-in JPEG decoder at 1/8 on the %zu visible pictures: %.1f ms wall, "
                    "%.1f ms cpu (%.2f ms each, %d decoded)\n",
                    m_visible.size(), ms, cpu, ms / static_cast<double>(m_visible.size()), decoded);
    }

    const char* modeName() const {
        switch (m_args.mode) {
        case Mode::First:
            return "first";
        case Mode::Cache:
            return "cache";
        case Mode::Reopen:
            return "reopen";
        case Mode::Rss:
            return "rss";
        }
        return "";
    }

    BenchApplication& m_qapp;
    Arguments m_args;
    std::unique_ptr<vemra::VemraApp> m_vemra;
    vemra::MainWindow* m_frame = nullptr;
    vemra::FolderDocument* m_document = nullptr;
    vemra::ThumbnailGrid* m_grid = nullptr;
    std::unique_ptr<KeyPoster> m_poster;

    Phase m_phase = Phase::Opening;
    bool m_ok = false;
    int m_count = 0;
    std::vector<int> m_visible;
    int m_fromCache = 0;
    int m_withThumbnail = 0;
    std::size_t m_thumbnailBytes = 0;
    bool m_pressesOutlivedStage3 = false;
    Clock::time_point m_openBegin, m_scanEnd, m_visibleMade, m_visibleShown, m_allMade;
    Memory m_started, m_scanned, m_afterVisible, m_afterAll;
    std::vector<double> m_delays;
    std::vector<double> m_handling;
    std::vector<int> m_pressStages;
    std::vector<double> m_backgroundSteps;
    std::vector<double> m_backgroundStepsCpu;
    double m_openCpu = 0;
    double m_visibleCpu = 0;
};

} // namespace

// The selection and file-operation measurements (browse_selection.cpp).
int runSelectionBench(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "select")
        return runSelectionBench(argc, argv);
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::fprintf(stderr,
                     "usage: browse-bench first|cache|reopen|rss|select FOLDER [--presses N] "
                     "[--visible-list FILE] [--cache-folder 0|1]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program looks for its plug-in host beside itself; this bench lives
    // one folder down, so point it at the build tree's host, or plug-in
    // pictures would be timed in the program, one call at a time.
    if (qEnvironmentVariableIsEmpty("VEMRA_SPI_HOST")) {
        const auto host = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() /
                          "vemra-spi-host";
        if (std::filesystem::exists(host))
            qputenv("VEMRA_SPI_HOST", QByteArray::fromStdString(host.string()));
    }
    QTemporaryDir work;
    const std::string workPath = work.path().toStdString();
    {
        std::ofstream ini(workPath + "/vemra.ini");
        ini << settingsText(arguments.mode, arguments.cacheFolder);
    }
    vemra::useSettingsFile(workPath + "/vemra.ini");
    BenchApplication app(argc, argv);
    Bench bench(app, arguments, workPath);
    if (!bench.start())
        return 1;
    QApplication::exec();
    return bench.finish();
}
