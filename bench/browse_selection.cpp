// browse-bench select: what a user does in a huge folder beyond scrolling,
// through the whole program offscreen (VemraApp, main window with the grid
// and the details list, the real event loop). One run of
//   browse-bench select SCRATCH [--entries N] [--selected M]
// fills SCRATCH/pictures with N files (hard links of one small JPEG; 100,000
// by default) and times, from the key, click or command until the window
// answers again (a zero timer started after the action fires, so the
// repaints and the views' deferred work it queued are done):
//   select all from the menu and with Ctrl+A in the grid and the list, a
//   click after select all, Shift+End from the top, clearing the selection
//   with a click, Shift+click of a range of M rows in the list, "全選択" as
//   deselect-all, sorting by another key and back, the display filter on
//   and off;
// then with M entries selected the copy and the move into another folder
// and the delete to the trash (a trash under SCRATCH: XDG_DATA_HOME points
// there): when the progress window appeared, the whole operation, and the
// delay of key presses posted to the grid meanwhile (the operations run on
// the interface thread and take input between files). Afterwards the
// document is checked: the right entries went and the others kept their
// order. With --notes N the first N pictures (the selected ones come first)
// carry notes in the folder's note file "_NOTE_.KPI" before each operation,
// and afterwards every note is checked to stand beside its picture.

#include "app/vemra_application.h"
#include "bench_percentile.h"
#include "document/display_filter.h"
#include "document/file_operations.h"
#include "document/folder_document.h"
#include "document/transfer_data.h"
#include "framework/command_id.h"
#include "framework/progress_window.h"
#include "platform/profile_ini.h"
#include "settings/settings_store.h"
#include "views/details_list.h"
#include "views/dialog_transfer_questions.h"
#include "views/main_window.h"
#include "views/thumbnail_grid.h"

#include <QApplication>
#include <QImage>
#include <QInputDevice>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Watches key presses reaching the grid and the first showing of a
// progress window.
class SelectionBenchApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::function<void(QObject*, QEvent*)> afterEvent;

    bool notify(QObject* receiver, QEvent* event) override {
        const bool result = QApplication::notify(receiver, event);
        if (afterEvent && (event->type() == QEvent::KeyPress || event->type() == QEvent::Show))
            afterEvent(receiver, event);
        return result;
    }
};

// Posts Page Down and Page Up to the grid from another thread at random
// intervals until stopped, as a keyboard would while an operation runs.
class KeyStream {
public:
    explicit KeyStream(QWidget* target)
        : m_target(target), m_keyboard(QInputDevice::primaryKeyboard()) {
        m_thread = std::thread([this] {
            std::mt19937 random(20261209);
            std::uniform_int_distribution<int> gap(15, 120);
            for (int i = 0; !m_stop.load(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
                if (m_stop.load())
                    break;
                {
                    std::lock_guard guard(m_mutex);
                    m_posted.push_back(Clock::now());
                }
                // Page keys without modifiers scroll and leave the
                // selection the operation works on alone.
                const Qt::Key key = i % 2 == 0 ? Qt::Key_PageDown : Qt::Key_PageUp;
                QCoreApplication::postEvent(m_target,
                                            new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, 0,
                                                          0, 0, QString(), false, 1, m_keyboard));
            }
        });
    }
    ~KeyStream() { stop(); }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    void handled() {
        std::lock_guard guard(m_mutex);
        if (m_handled < m_posted.size())
            m_delays.push_back(msBetween(m_posted[m_handled++], Clock::now()));
    }
    std::vector<double> delays() {
        std::lock_guard guard(m_mutex);
        return m_delays;
    }

private:
    QWidget* m_target;
    const QInputDevice* m_keyboard;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_posted;
    std::size_t m_handled = 0;
    std::vector<double> m_delays;
    std::thread m_thread;
};

std::string pictureName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%06d.jpg", i);
    return name;
}

// The folder of `count` pictures, hard links of one file (of copies of it:
// a file takes at most 65,000 links); names missing from an earlier run are
// made again.
bool fillFolder(const fs::path& folder, const fs::path& original, int count) {
    constexpr int kLinksPerFile = 50000;
    std::error_code error;
    fs::create_directories(folder, error);
    for (int i = 0; i < count; ++i) {
        const fs::path link = folder / pictureName(i);
        if (fs::exists(link, error))
            continue;
        fs::path source = original;
        source += "." + std::to_string(i / kLinksPerFile);
        if (!fs::exists(source, error))
            fs::copy_file(original, source, error);
        if (!error)
            fs::create_hard_link(source, link, error);
        if (error)
            return false;
    }
    return true;
}

std::string benchNote(int i) {
    return "メモ " + pictureName(i) + "`n二行目";
}

// The note file of `folder` with a note for each of the pictures
// [first, last), as the program writes it.
void writeNotes(const fs::path& folder, int first, int last) {
    std::ofstream out(folder / "_NOTE_.KPI", std::ios::binary | std::ios::trunc);
    for (int i = first; i < last; ++i)
        out << "[:" << pictureName(i) << "]\nNote=" << benchNote(i) << "\n";
}

// How many of the pictures [first, last) have their note in the note file
// of `folder`, and how many sections it holds in all.
std::pair<int, int> countNotes(const fs::path& folder, int first, int last) {
    vemra::ProfileIni ini((folder / "_NOTE_.KPI").string());
    int right = 0;
    for (int i = first; i < last; ++i)
        right += ini.readText(":" + pictureName(i), "Note") == benchNote(i) ? 1 : 0;
    return {right, static_cast<int>(ini.sectionNames().size())};
}

void emptyFolder(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder, error);
}

class SelectionBench {
public:
    SelectionBench(SelectionBenchApplication& app, std::string scratch, int entries, int selected,
                   int notes)
        : m_app(app), m_scratch(std::move(scratch)), m_entries(entries), m_selected(selected),
          m_notes(notes) {}

    // Times the selection, sorting and the display filter only.
    void skipFileOperations() { m_fileSteps = false; }

    bool start() {
        const fs::path original = fs::path(m_scratch) / "original.jpg";
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(40, 120, 200));
        if (!picture.save(QString::fromStdString(original.string()), "JPEG"))
            return false;
        m_folder = (fs::path(m_scratch) / "pictures").string();
        m_original = original.string();
        std::printf("Writing %d pictures into %s\n", m_entries, m_folder.c_str());
        std::error_code error;
        const bool existed = fs::exists(fs::path(m_folder) / pictureName(m_entries - 1), error);
        if (!fillFolder(m_folder, original, m_entries))
            return false;
        // Before the folder opens: the views load the notes of the cells
        // they show and keep them.
        if (m_notes > 0)
            writeNotes(m_folder, 0, std::min(m_notes, m_entries));
        // A folder whose names changed in the last seconds is scanned again
        // by every filter (its time could not tell of a change made in the
        // same tick); folders a user browses are older than that.
        if (!existed || m_notes > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        const std::string program =
            fs::canonical("/proc/self/exe").parent_path().parent_path().string();
        fs::create_directories(fs::path(m_scratch) / "cwd");
        m_vemra = std::make_unique<vemra::VemraApp>(
            vemra::StartupEnvironment{{"-nologo"}, program, m_scratch + "/cwd"});
        if (!m_vemra->initInstance())
            return false;
        m_frame = m_vemra->mainWindow();
        m_document = m_vemra->document();
        m_grid = m_frame->grid();
        m_table = m_frame->detailsList()->table();
        m_frame->resize(1280, 960);
        m_frame->show();
        m_app.afterEvent = [this](QObject* receiver, QEvent* event) {
            if (event->type() == QEvent::KeyPress && receiver == m_grid && m_keys)
                m_keys->handled();
            if (event->type() == QEvent::Show && qobject_cast<vemra::ProgressWindow*>(receiver) &&
                m_progressShown == Clock::time_point{})
                m_progressShown = Clock::now();
        };
        QTimer::singleShot(0, [this] { run(); });
        return true;
    }

    int finish() {
        m_app.afterEvent = nullptr;
        m_vemra->exitInstance();
        return m_ok ? 0 : 1;
    }

private:
    // Runs `action`, then waits for the zero timer queued behind what it
    // left for the event loop; prints the time.
    void time(const char* label, const std::function<void()>& action) {
        settle();
        bool answered = false;
        const Clock::time_point begin = Clock::now();
        action();
        const Clock::time_point done = Clock::now();
        Clock::time_point end;
        QTimer::singleShot(0, [&] {
            end = Clock::now();
            answered = true;
        });
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::printf("  %-52s %8.1f ms (the action itself %.1f ms)  selected %d\n", label,
                    msBetween(begin, end), msBetween(begin, done),
                    m_document->selectedCount(false));
        std::fflush(stdout);
    }

    // Lets repaints and idle work of the previous step finish.
    void settle() {
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(300);
        while (Clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QPoint cellCentre(int position) const { return m_grid->cellRectInView(position).center(); }

    QPoint rowCentre(int row) {
        const QModelIndex index = m_table->model()->index(row, 0);
        m_table->scrollTo(index);
        return m_table->visualRect(index).center();
    }

    void open() {
        const Clock::time_point begin = Clock::now();
        m_document->openFolder(m_folder, nullptr, false);
        std::printf("  opening the folder: %d entries in %.1f ms\n", m_document->displayedCount(),
                    msBetween(begin, Clock::now()));
    }

    void selectionSteps() {
        QWidget* grid = m_grid->viewport();
        time("全選択 (menu)", [&] { m_frame->runCommand(vemra::kCmdSelectAll); });
        time("a click in the grid after select all",
             [&] { QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, cellCentre(0)); });
        time("Ctrl+A in the grid", [&] {
            m_grid->setFocus();
            QTest::keyClick(m_grid, Qt::Key_A, Qt::ControlModifier);
        });
        time("全選択 with all selected (deselects all)",
             [&] { m_frame->runCommand(vemra::kCmdSelectAll); });
        time("Shift+End in the grid from the top", [&] {
            QTest::keyClick(m_grid, Qt::Key_Home);
            QTest::keyClick(m_grid, Qt::Key_End, Qt::ShiftModifier);
        });
        time("Shift+Home in the grid (the range shrinks to one)",
             [&] { QTest::keyClick(m_grid, Qt::Key_Home, Qt::ShiftModifier); });
        time("Shift+End again, then a click clears it", [&] {
            QTest::keyClick(m_grid, Qt::Key_End, Qt::ShiftModifier);
            QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, cellCentre(0));
        });
        time("Ctrl+A in the list", [&] {
            m_table->setFocus();
            QTest::keyClick(m_table, Qt::Key_A, Qt::ControlModifier);
        });
        time("a click in the list after select all", [&] {
            QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        });
        time("sort by size (another key)", [&] { m_frame->runCommand(vemra::kCmdSortSize); });
        time("sort by name again", [&] { m_frame->runCommand(vemra::kCmdSortName); });
        vemra::DisplayFilter filter = vemra::DisplayFilter::fromOptions(m_document->options());
        filter.useMask = true;
        filter.mask = "p00*.jpg";
        time("display filter on (p00*.jpg)", [&] { m_document->applyDisplayFilter(filter); });
        filter.useMask = false;
        filter.mask = "*.*";
        time("display filter off", [&] { m_document->applyDisplayFilter(filter); });
        filter.sizeOn = true;
        filter.sizeMinimum = 1;
        filter.sizeMaximum = 1 << 30;
        time("display filter on (size 1 B to 1 GB: every file)",
             [&] { m_document->applyDisplayFilter(filter); });
        filter.sizeOn = false;
        time("display filter off again", [&] { m_document->applyDisplayFilter(filter); });
        time("refresh (最新の情報に更新, a rescan)", [&] { m_document->refresh(true); });
    }

    // Shift+click in the list: the first `m_selected` rows.
    void selectRows() {
        time("Shift+click of a range in the list", [&] {
            QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
            QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                              rowCentre(m_selected - 1));
        });
    }

    // Times one operation on the selection with keys posted meanwhile.
    void operation(const char* label, const std::function<int()> run) {
        settle();
        m_progressShown = {};
        m_keys = std::make_unique<KeyStream>(m_grid);
        const Clock::time_point begin = Clock::now();
        const int count = run();
        const Clock::time_point end = Clock::now();
        m_keys->stop();
        QCoreApplication::processEvents();
        const std::vector<double> delays = m_keys->delays();
        m_keys.reset();
        std::printf("  %s: %d files in %.1f ms; progress window after %.1f ms\n", label, count,
                    msBetween(begin, end),
                    m_progressShown == Clock::time_point{} ? -1.0
                                                           : msBetween(begin, m_progressShown));
        std::printf("    key delay meanwhile: median %.1f ms, 95%% %.1f ms, max %.1f ms (%zu "
                    "keys, goal < 50 ms)\n",
                    percentile(delays, 0.5), percentile(delays, 0.95), percentile(delays, 1.0),
                    delays.size());
        std::fflush(stdout);
    }

    // The entries left are every name but the first `m_selected`, in order.
    bool checkRemaining() {
        const int count = m_document->displayedCount();
        bool right = count == m_entries - m_selected;
        for (int i = 0; right && i < count; ++i)
            right = m_document->entryAt(i)->fileName == pictureName(i + m_selected);
        std::printf("    the document afterwards: %d entries, %s\n", count,
                    right ? "the right ones in order" : "NOT the expected ones");
        return right;
    }

    // Each folder's notes as they should be: `expected` pictures of
    // [first, last) with their notes, and nothing else.
    bool checkNotes(const char* what, const fs::path& folder, int first, int last, int expected) {
        if (m_notes <= 0)
            return true;
        const auto [right, sections] = countNotes(folder, first, last);
        const bool ok = right == expected && sections == expected;
        std::printf("    notes %s: %d of %d in place, %d in the file, %s\n", what, right, expected,
                    sections, ok ? "right" : "WRONG");
        return ok;
    }

    void fileSteps() {
        const fs::path copies = fs::path(m_scratch) / "copies";
        const fs::path moved = fs::path(m_scratch) / "moved";
        const int noted = std::min(m_notes, m_entries);
        const int notedMoved = std::min(noted, m_selected);
        emptyFolder(copies);
        emptyFolder(moved);
        if (noted > 0)
            std::printf("  notes on the first %d pictures\n", noted);
        selectRows();
        operation("copy to another folder", [&] {
            vemra::DialogTransferQuestions questions(m_frame, *m_document, nullptr);
            return vemra::copyEntries(*m_document, vemra::selectedPositions(*m_document),
                                      copies.string(), false, questions);
        });
        m_ok = checkNotes("at the copies", copies, 0, m_selected, notedMoved) && m_ok;
        operation("move to another folder", [&] {
            vemra::DialogTransferQuestions questions(m_frame, *m_document, nullptr);
            return vemra::moveEntries(*m_document, vemra::selectedPositions(*m_document),
                                      moved.string(), false, questions, nullptr);
        });
        m_ok = checkRemaining() && m_ok;
        m_ok = checkNotes("moved along", moved, 0, m_selected, notedMoved) && m_ok;
        m_ok = checkNotes("left behind", m_folder, m_selected, noted, noted - notedMoved) && m_ok;
        fillFolder(m_folder, m_original, m_entries);
        if (noted > 0)
            writeNotes(m_folder, 0, noted);
        m_document->refresh(false);
        selectRows();
        operation("delete to the trash (削除, TrashCan=1, DELQA=1)", [&] {
            const int before = m_document->displayedCount();
            m_frame->runCommand(vemra::kCmdDeleteFiles);
            return before - m_document->displayedCount();
        });
        m_ok = checkRemaining() && m_ok;
        m_ok =
            checkNotes("after the delete", m_folder, m_selected, noted, noted - notedMoved) && m_ok;
        emptyFolder(copies);
        emptyFolder(moved);
        emptyFolder(fs::path(m_scratch) / "data" / "Trash");
    }

    void run() {
        m_ok = true;
        open();
        settle();
        selectionSteps();
        if (m_fileSteps)
            fileSteps();
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    }

    SelectionBenchApplication& m_app;
    std::string m_scratch;
    std::string m_folder;
    std::string m_original;
    int m_entries;
    int m_selected;
    int m_notes;
    bool m_ok = false;
    bool m_fileSteps = true;
    std::unique_ptr<vemra::VemraApp> m_vemra;
    vemra::MainWindow* m_frame = nullptr;
    vemra::FolderDocument* m_document = nullptr;
    vemra::ThumbnailGrid* m_grid = nullptr;
    QTableView* m_table = nullptr;
    std::unique_ptr<KeyStream> m_keys;
    Clock::time_point m_progressShown;
};

} // namespace

int runSelectionBench(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: browse-bench select SCRATCH [--entries N] [--selected M] "
                             "[--notes K] [--no-file-operations]\n");
        return 2;
    }
    const std::string scratch = fs::absolute(argv[2]).lexically_normal().string();
    int entries = 100000;
    int selected = 10000;
    int notes = 0;
    bool fileSteps = true;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--no-file-operations")
            fileSteps = false;
        else if (option == "--entries" && i + 1 < argc)
            entries = std::max(2, std::atoi(argv[++i]));
        else if (option == "--selected" && i + 1 < argc)
            selected = std::max(1, std::atoi(argv[++i]));
        else if (option == "--notes" && i + 1 < argc)
            notes = std::max(0, std::atoi(argv[++i]));
    }
    selected = std::min(selected, entries - 1);
    std::error_code error;
    fs::create_directories(scratch, error);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The trash the delete fills lies in the scratch folder (which must
    // exist, or Qt puts the trash's folders into the working folder).
    fs::create_directories(scratch + "/data", error);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(scratch + "/data"));
    if (qEnvironmentVariableIsEmpty("VEMRA_SPI_HOST")) {
        const auto host =
            fs::canonical("/proc/self/exe").parent_path().parent_path() / "vemra-spi-host";
        if (fs::exists(host))
            qputenv("VEMRA_SPI_HOST", QByteArray::fromStdString(host.string()));
    }
    {
        std::ofstream ini(scratch + "/vemra.ini");
        // No thumbnail making beyond the visible cells, so the figures are
        // the selection's and the operations' own.
        ini << "[KPDoc]\nThumbsSize=110,110\nThumbsCreate=0\nRestoreFolder=0\nCacheFolder=0\n"
               "AutoCacheFolder=0\nCacheDataFolder=\nTrashCan=1\nDELQA=1\n";
    }
    vemra::useSettingsFile(scratch + "/vemra.ini");
    SelectionBenchApplication app(argc, argv);
    SelectionBench bench(app, scratch, entries, selected, notes);
    if (!fileSteps)
        bench.skipFileOperations();
    if (!bench.start())
        return 1;
    std::printf("browse-bench select: %d entries, %d selected for the file operations\n", entries,
                selected);
    QApplication::exec();
    return bench.finish();
}
