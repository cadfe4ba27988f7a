// Thumbnails made on the worker threads: the same pixels and cache records
// as when made on the interface thread, whatever the number of workers, and
// a result whose entry changed or went meanwhile is dropped.

#include "../imaging/test_support.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/thumb_cache.h"
#include "fake_picture_loader.h"
#include "folder_document_test_support.h"
#include "imaging/decoder_registry.h"
#include "platform/worker_pool.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace vemra {
namespace {

namespace fs = std::filesystem;

constexpr CellGeometry kCell{110, 110, 106, 80};
constexpr auto kWait = std::chrono::seconds(20);

// Takes results until every request handed out has come back.
int applyAll(FolderDocument& doc, const CellGeometry& cell, std::vector<int>* applied = nullptr) {
    int taken = 0;
    while (doc.thumbnailJobsOutstanding() > 0) {
        if (!doc.waitForThumbnailResults(kWait))
            break;
        taken += doc.applyThumbnailResults(
            cell, [&](int position) { applied ? applied->push_back(position) : void(); }, nullptr);
    }
    return taken;
}

// What a thumbnail run leaves: per entry (in display order) the pixels and
// what was learnt, and the cache records.
struct Outcome {
    std::vector<std::string> entries;
    std::vector<std::vector<std::byte>> records;
};

std::string describe(const PictureSource& e) {
    std::string text = e.fileName + " decoder " + std::to_string(e.decoder) + " " +
                       std::to_string(e.pictureWidth) + "x" + std::to_string(e.pictureHeight) +
                       "x" + std::to_string(e.bitCount) + " info '" + e.infoText + "' box " +
                       std::to_string(e.boxWidth) + " used " + std::to_string(e.scaleModeUsed) +
                       (e.unsharpUsed ? "u" : "") + " pixels ";
    if (!e.thumbnail)
        return text + "none";
    const auto block = e.thumbnail.block();
    std::uint64_t hash = 1469598103934665603ull;
    for (const std::byte b : block)
        hash = (hash ^ static_cast<std::uint64_t>(b)) * 1099511628211ull;
    return text + std::to_string(e.thumbnail.width()) + "x" + std::to_string(e.thumbnail.height()) +
           "#" + std::to_string(hash);
}

// Makes every thumbnail of `folder` with `workers` threads (0: on this
// thread, as the design did it), storing each in a cache of its own.
Outcome makeAll(const std::string& folder, int workers) {
    test::TempDir cacheDir;
    SettingsStore store(cacheDir.file("settings.ini"));
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    const RegistryScanServices services(registry);
    RegistryPictureLoader loader(registry);
    ThumbCache cache;
    DocumentOptions options;
    options.downScan = true;
    options.cacheFolder = true;
    options.cacheDataFolder = cacheDir.file("cache");
    fs::create_directories(options.cacheDataFolder);
    options.thumbWorkers = std::max(workers, 1);
    Outcome outcome;
    {
        FolderDocument doc(services, cache, options);
        doc.setPictureLoader(&loader);
        doc.openFolder(folder, nullptr, false);
        for (int i = 0; i < doc.displayedCount(); ++i) {
            if (workers == 0)
                doc.prepareThumbnail(i, kCell, true);
            else
                doc.requestThumbnail(i, kCell, i % 2 == 0);
        }
        applyAll(doc, kCell);
        for (int i = 0; i < doc.displayedCount(); ++i)
            outcome.entries.push_back(describe(*doc.entryAt(i)));
        for (const auto& file : cache.files()) {
            for (std::size_t at = 0; at < file->recordCount(); ++at) {
                const std::optional<ThumbRecord> record = file->recordAt(at);
                outcome.records.emplace_back(record->bytes().begin(), record->bytes().end());
            }
        }
        doc.setPictureLoader(nullptr);
        cache.closeAll();
    }
    // Records go into the file in the order thumbnails are finished.
    std::sort(outcome.records.begin(), outcome.records.end());
    return outcome;
}

TEST(DocumentWorkersTest, ThumbnailsAndRecordsAreTheSameWithOneOrManyWorkers) {
    std::vector<std::string> folders = {std::string(VEMRA_SOURCE_DIR) + "/samples"};
    if (test::hasTestData()) {
        for (const char* format : {"bmp", "gif", "jpeg", "png", "tiff"})
            folders.push_back((test::testDataDir() / format).string());
    }
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const Outcome here = makeAll(folder, 0);
        ASSERT_FALSE(here.entries.empty());
        for (const int workers : {1, 3}) {
            SCOPED_TRACE(workers);
            const Outcome pooled = makeAll(folder, workers);
            EXPECT_EQ(pooled.entries, here.entries);
            EXPECT_EQ(pooled.records.size(), here.records.size());
            EXPECT_TRUE(pooled.records == here.records);
        }
    }
}

// A loader whose decodes wait until the test lets them go, so that the
// document can change while a thumbnail is on its way.
class GatedLoader : public test::FakePictureLoader {
public:
    int loadForThumbnail(PictureSource& entry, int boxWidth, int boxHeight,
                         PictureBuffer& out) override {
        ++entered;
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return m_open; });
        lock.unlock();
        const int code = FakePictureLoader::loadForThumbnail(entry, boxWidth, boxHeight, out);
        ++finished;
        return code;
    }
    void open() {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_opened.notify_all();
    }
    void close() {
        const std::lock_guard lock(m_mutex);
        m_open = false;
    }
    std::atomic<int> entered = 0;
    std::atomic<int> finished = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

class DocumentDropTest : public ::testing::Test, protected test::DocFixture {
protected:
    GatedLoader loader;

    DocumentDropTest() {
        doc.options().thumbWorkers = 2;
        doc.setPictureLoader(&loader);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            put(name);
        doc.openFolder(folder(), nullptr, false);
    }
    ~DocumentDropTest() override {
        loader.open();
        doc.setPictureLoader(nullptr);
    }
};

// Every change that makes a result stale: it is dropped when it comes, the
// entry (if still there) stays without thumbnail, and a new request for it
// then makes one.
TEST_F(DocumentDropTest, AResultWhoseEntryChangedIsDropped) {
    constexpr CellGeometry kLarger{150, 150, 146, 120};
    struct Case {
        const char* name;
        std::function<void(FolderDocument&)> change;
        CellGeometry applyCell;
    };
    const Case cases[] = {
        {"nothing changed (applied)", [](FolderDocument&) {}, kCell},
        {"rescan", [](FolderDocument& d) { d.refresh(false); }, kCell},
        {"removal", [](FolderDocument& d) { d.removeEntry(0); }, kCell},
        {"cell size", [](FolderDocument&) {}, kLarger},
        {"scale mode",
         [](FolderDocument& d) {
             d.options().scaleMode = 3;
             d.applyThumbnailOptions();
         },
         kCell},
        {"reload", [](FolderDocument& d) { d.forgetThumbnail(0); }, kCell},
        {"remake all", [](FolderDocument& d) { d.remakeThumbnails(); }, kCell},
        {"another folder",
         [this](FolderDocument& d) { d.openFolder(folder() + "/none", nullptr, false); }, kCell},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.openFolder(folder(), nullptr, false);
        ASSERT_EQ(doc.displayedCount(), 3);
        loader.close(); // until the change is done
        const CellThumbnail asked = doc.requestThumbnail(0, kCell, true);
        EXPECT_TRUE(asked.pending);
        // Asking again while it is on its way hands out nothing more.
        doc.requestThumbnail(0, kCell, true);
        EXPECT_EQ(doc.thumbnailJobsOutstanding(), 1);
        c.change(doc);
        loader.open();
        std::vector<int> applied;
        applyAll(doc, c.applyCell, &applied);
        EXPECT_EQ(doc.thumbnailJobsOutstanding(), 0);
        const bool stays = std::string_view(c.name) == "nothing changed (applied)";
        EXPECT_EQ(applied, stays ? std::vector<int>{0} : std::vector<int>{});
        if (doc.displayedCount() > 0) {
            EXPECT_EQ(static_cast<bool>(doc.entryAt(0)->thumbnail), stays);
            // Asked again, it comes.
            doc.requestThumbnail(0, c.applyCell, true);
            applyAll(doc, c.applyCell, &applied);
            EXPECT_TRUE(doc.entryAt(0)->thumbnail);
        }
    }
}

// While decoders are switched on or off no decode runs: taking the hold
// waits for the running ones, the queued one waits for its end and then
// comes as usual.
TEST_F(DocumentDropTest, NoDecodeRunsWhileDecodingIsHeld) {
    loader.close();
    for (int i = 0; i < 3; ++i)
        doc.requestThumbnail(i, kCell, true);
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (loader.entered < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(loader.entered, 2); // two workers, both in a decode
    // The running decodes are let go only once the hold below is taken, so
    // that no worker can reach the third before it, however late this
    // thread gets there.
    WorkerPool* pool = doc.workerPool();
    ASSERT_NE(pool, nullptr);
    std::jthread opener([this, pool] {
        const auto until = std::chrono::steady_clock::now() + kWait;
        while (!pool->held() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        loader.open();
    });
    {
        const auto hold = doc.holdDecoding();
        EXPECT_TRUE(doc.decodingHeld());
        EXPECT_EQ(loader.finished, 2);
        std::vector<int> applied;
        while (applied.size() < 2 && doc.waitForThumbnailResults(kWait))
            doc.applyThumbnailResults(
                kCell, [&](int p) { applied.push_back(p); }, nullptr);
        EXPECT_EQ(applied.size(), 2u);
        // Time enough for a worker to start the third, were it let go.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(loader.entered, 2);
        EXPECT_EQ(doc.thumbnailJobsOutstanding(), 1);
    }
    EXPECT_FALSE(doc.decodingHeld());
    applyAll(doc, kCell);
    EXPECT_EQ(loader.entered, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(doc.entryAt(i)->thumbnail) << i;
}

// The budget lets go of the least recently drawn thumbnails outside the
// kept range, and they come back from the cache when asked for again.
TEST(DocumentBudgetTest, OnlyThumbnailsOutsideTheKeptRangeGoAndComeBackFromTheCache) {
    test::DocFixture f;
    test::FakePictureLoader loader;
    f.doc.options().thumbMemoryMB = DocumentOptions::kMinThumbMemoryMB;
    f.doc.options().cacheFolder = true;
    f.doc.options().cacheDataFolder = f.dir.file("cache");
    fs::create_directories(f.doc.options().cacheDataFolder);
    f.doc.setPictureLoader(&loader);
    constexpr int kCount = 40;
    for (int i = 0; i < kCount; ++i)
        f.put("p" + std::to_string(100 + i) + ".jpg");
    f.doc.openFolder(f.folder(), nullptr, true);
    // Big cells: 16 MB hold about 13 thumbnails of 1000 x 400 pixels.
    const CellGeometry big{1000, 400, 1000, 400};
    loader.width = 1000;
    loader.height = 400;
    for (int i = 0; i < kCount; ++i)
        f.doc.requestThumbnail(i, big, false);
    applyAll(f.doc, big);
    const std::size_t limit = std::size_t{DocumentOptions::kMinThumbMemoryMB} << 20;
    EXPECT_GT(f.doc.thumbnailBytesHeld(), limit);
    // Positions 0-4 are on screen and were drawn first (least recent).
    for (int i = 0; i < 5; ++i)
        f.doc.noteThumbnailDrawn(i);
    for (int i = 5; i < kCount; ++i)
        f.doc.noteThumbnailDrawn(i);
    const int dropped = f.doc.enforceThumbnailBudget(0, 4);
    EXPECT_GT(dropped, 0);
    EXPECT_LE(f.doc.thumbnailBytesHeld(), limit);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.doc.entryAt(i)->thumbnail) << i;
    // The most recently drawn stay; the oldest outside the range went.
    EXPECT_TRUE(f.doc.entryAt(kCount - 1)->thumbnail);
    EXPECT_FALSE(f.doc.entryAt(5)->thumbnail);
    // Drawn again, it comes from the cache without a decode.
    const int callsBefore = loader.calls;
    const CellThumbnail back = f.doc.requestThumbnail(5, big, true);
    EXPECT_TRUE(back.loaded);
    EXPECT_TRUE(f.doc.entryAt(5)->thumbnail);
    EXPECT_EQ(loader.calls, callsBefore);
    f.doc.setPictureLoader(nullptr);
}

} // namespace
} // namespace vemra
