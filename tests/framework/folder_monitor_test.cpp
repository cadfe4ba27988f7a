#include "framework/change_burst.h"
#include "framework/folder_monitor.h"
#include "platform/own_file_operations.h"

#include "core_application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace vemra {
namespace {

namespace fs = std::filesystem;

// Notices at the given times, then ticks every 100 ms: when the burst ends.
std::int64_t burstEnd(const std::vector<std::int64_t>& notices, int entries) {
    ChangeBurst burst;
    std::int64_t timerStart = -1;
    std::size_t next = 0;
    for (std::int64_t now = 0; now < 100000; ++now) {
        if (next < notices.size() && notices[next] == now) {
            if (burst.notice(now, entries)) {
                timerStart = now;
            }
            ++next;
        }
        if (timerStart >= 0 && now > timerStart && (now - timerStart) % ChangeBurst::kTickMs == 0 &&
            burst.tick(now)) {
            return now;
        }
    }
    return -1;
}

TEST(ChangeBurst, OneReadingHalfASecondAfterTheLastChange) {
    struct Case {
        const char* what;
        std::vector<std::int64_t> notices;
        int entries;
        std::int64_t end;
    };
    std::vector<std::int64_t> hundredFiles;
    for (int i = 0; i < 100; ++i) {
        hundredFiles.push_back(i * 2); // 100 files copied within 0.2 s
    }
    std::vector<std::int64_t> endless;
    for (int i = 0; i < 600; ++i) {
        endless.push_back(i * 10); // a change every 10 ms for 6 s
    }
    const Case cases[] = {
        {"one change", {0}, 0, 500},
        {"100 files: 500 ms after the last", hundredFiles, 0, 700},
        {"a change within the window moves the end", {0, 450}, 0, 1000},
        // After max(10 ms x entries, 500 ms) the latest change is pinned to
        // the first: the folder is read even though changes go on.
        {"endless changes, small folder", endless, 10, 600},
        {"endless changes, 200 entries widen the window", endless, 200, 2100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(burstEnd(c.notices, c.entries), c.end) << c.what;
    }
    ChangeBurst burst;
    EXPECT_FALSE(burst.tick(1000)); // no burst, nothing to read
    EXPECT_TRUE(burst.notice(0, 0));
    EXPECT_FALSE(burst.notice(10, 0));
    burst.reset();
    EXPECT_TRUE(burst.notice(20, 0)); // a new burst after a reset
}

class FolderMonitorTest : public ::testing::Test {
protected:
    FolderMonitorTest() {
        test::ensureCoreApplication();
        static std::mt19937 random{std::random_device{}()};
        m_dir = fs::temp_directory_path() / ("vemra-monitor-" + std::to_string(random()));
        fs::create_directories(m_dir);
    }
    ~FolderMonitorTest() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string file(const std::string& name) const { return (m_dir / name).string(); }
    void write(const std::string& name) { std::ofstream(file(name)) << "picture"; }
    // Runs the event loop for `ms` milliseconds.
    static void wait(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    fs::path m_dir;
};

TEST_F(FolderMonitorTest, FilesWrittenByAnotherProgramCauseOneReading) {
    FolderMonitor monitor;
    QSignalSpy changed(&monitor, &FolderMonitor::changed);
    monitor.watch(m_dir.string(), false);
    ASSERT_TRUE(monitor.isWatching());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 50; ++i) {
        write("p" + std::to_string(i) + ".jpg");
    }
    const qint64 lastWrite = clock.elapsed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() > 0; }, 10000));
    // About half a second after the last file, and only once.
    EXPECT_GE(clock.elapsed() - lastWrite, 450);
    wait(800);
    EXPECT_EQ(changed.count(), 1);

    // The program's own files in the folder, and its own operations, are
    // not changes to read the folder for.
    write("_THUMBS_.KPI");
    write("_NOTE_.KPI.1234.0.tmp");
    write("dirinfo.kpi");
    {
        const OwnFileOperation own;
        write("copied-by-us.jpg");
        fs::remove(file("p0.jpg"));
        wait(50); // notices read while the operation runs
        write("renamed-by-us.jpg");
    }
    wait(900);
    EXPECT_EQ(changed.count(), 1);

    // A scan under way holds the reading back until it is over.
    bool scanning = true;
    monitor.setBusy([&] { return scanning; });
    fs::remove(file("p1.jpg"));
    wait(900);
    EXPECT_EQ(changed.count(), 1);
    scanning = false;
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() == 2; }, 10000));

    monitor.stop();
    EXPECT_FALSE(monitor.isWatching());
    write("after-stop.jpg");
    wait(700);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(FolderMonitorTest, SubFoldersAreWatchedWhenAskedAndNewOnesToo) {
    fs::create_directories(m_dir / "a" / "b");
    FolderMonitor monitor;
    QSignalSpy changed(&monitor, &FolderMonitor::changed);
    monitor.watch(m_dir.string(), false);
    EXPECT_EQ(monitor.watchedCount(), 1);
    write("a/b/deep.jpg");
    wait(700);
    EXPECT_EQ(changed.count(), 0);

    monitor.watch(m_dir.string(), true);
    EXPECT_EQ(monitor.watchedCount(), 3);
    write("a/b/deep2.jpg");
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() == 1; }, 10000));
    fs::create_directories(m_dir / "new");
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() == 2; }, 10000));
    EXPECT_EQ(monitor.watchedCount(), 4);
    write("new/inside.jpg");
    EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() == 3; }, 10000));

    // A folder that cannot be watched is simply not watched.
    monitor.watch(file("missing"), false);
    EXPECT_FALSE(monitor.isWatching());
}

} // namespace
} // namespace vemra
