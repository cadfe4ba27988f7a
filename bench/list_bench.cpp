// Times the details list on a folder of 100,000 files with Japanese and
// mixed-case Latin names and scattered dates: taking each entry's row copy
// into the list's model, ordering the rows by name (Japanese collation,
// case ignored) and by date, and showing the first and the last screen of a
// table over the model. Writes the same names and times for `sort`.
// Usage: list-bench FOLDER [COUNT]. FOLDER is made and filled when empty.

#include "document/document_sort.h"
#include "document/folder_document.h"
#include "document/registry_scan_services.h"
#include "document/sort_rows.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"
#include "views/details_list_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Names as a picture folder of a Japanese user holds them: camera names in
// both cases, kana and kanji with numbers, in no particular order.
std::string pictureName(std::mt19937& random, int i) {
    static const char* const stems[] = {"IMG_",   "img_",  "DSC",   "dsc",   "写真", "さくら",
                                        "サクラ", "旅行_", "Photo", "photo", "ねこ", "猫"};
    static const char* const extensions[] = {".jpg", ".JPG", ".png", ".bmp"};
    const auto& stem = stems[random() % std::size(stems)];
    const auto& extension = extensions[random() % std::size(extensions)];
    return std::string(stem) + std::to_string(random() % 1000000) + "_" + std::to_string(i) +
           extension;
}

bool fillFolder(const std::string& folder, int count) {
    std::mt19937 random(20240607);
    const std::int64_t base = 1'400'000'000;
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "/" + pictureName(random, i);
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const timespec times[2] = {{base + static_cast<std::int64_t>(random() % 300'000'000), 0},
                                   {base + static_cast<std::int64_t>(random() % 300'000'000), 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
    return true;
}

double bestOf(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    double best = 1e12;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: list-bench FOLDER [COUNT]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string folder = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
    fs::create_directories(folder + "/pics");
    if (fs::is_empty(folder + "/pics") && !fillFolder(folder + "/pics", count)) {
        std::fprintf(stderr, "cannot fill %s\n", folder.c_str());
        return 1;
    }

    using namespace vemra;
    SettingsStore store(folder + "/vemra.ini");
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    const RegistryScanServices services(registry);
    ThumbCache cache;
    FolderDocument document(services, cache);
    document.openFolder(folder + "/pics", nullptr, false);
    std::printf("%d entries\n", document.displayedCount());

    // What `sort` gets: the same names, and the times with the names.
    {
        std::ofstream names(folder + "/names.txt");
        std::ofstream times(folder + "/times.txt");
        for (int i = 0; i < document.displayedCount(); ++i) {
            const PictureSource* entry = document.entryAt(i);
            names << entry->fileName << '\n';
            times << entry->lastWriteTime << '\t' << entry->fileName << '\n';
        }
    }

    DetailsListModel model;
    const double build = bestOf(
        5, [&] { model.clear(); }, [&] { model.setRows(displayedRows(document, services)); });
    std::printf("build the list's rows: %.1f ms (best of 5)\n", build);

    const std::vector<SortRow> scanned = model.rows();
    std::vector<SortRow> rows;
    const SortKey byName{kSortByName, 1};
    const double name = bestOf(
        5, [&] { rows = scanned; }, [&] { sortRows(rows, byName); });
    std::printf("sort by name (Japanese collation, case ignored): %.1f ms (best of 5)\n", name);
    const SortKey byDate{kSortByDate, 1};
    const double date = bestOf(
        5, [&] { rows = scanned; }, [&] { sortRows(rows, byDate); });
    std::printf("sort by date: %.1f ms (best of 5)\n", date);
    const double resort = bestOf(
        5, [&] { rows = scanned; },
        [&] {
            const SortKey history[] = {byDate, byName};
            sortRows(rows, history);
        });
    std::printf("two-key history (date, then name): %.1f ms (best of 5)\n", resort);

    // The table asks only for the rows it shows.
    QTableView table;
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 4);
    table.resize(1000, 400);
    table.show();
    const double first = bestOf(
        5, [&] { table.setModel(nullptr); },
        [&] {
            table.setModel(&model);
            table.grab();
        });
    std::printf("first screen of the table: %.1f ms (best of 5)\n", first);
    const double last = bestOf(
        5, [&] { table.scrollToTop(); },
        [&] {
            table.scrollToBottom();
            table.grab();
        });
    std::printf("jump to the last screen: %.1f ms (best of 5)\n", last);
    return 0;
}
