// Times "画像形式を指定して保存" as the browser runs it: the folder opened in
// the document, every picture selected, saved through the document's
// worker threads with the progress and same-name questions answered at once.
// Usage: save-bench FOLDER OUTDIR png|jpeg THREADS [WxH]
// Prints the wall time of the save alone (the scan excluded), the processor
// time of the whole run and the count.

#include "document/document_options.h"
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "document/registry_scan_services.h"
#include "document/save_in_format.h"
#include "document/thumb_cache.h"
#include "imaging/decoder_registry.h"
#include "settings/settings_store.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Overwrites what is there and never stops.
class Unattended final : public vemra::SaveQuestions {
public:
    vemra::SameNameAnswer overwrite(const vemra::PictureSource&, const std::string&) override {
        return {true, vemra::SameNameAction::Overwrite, true, {}};
    }
    bool continueAfterFailure(const std::string& name) override {
        std::fprintf(stderr, "save-bench: %s failed\n", name.c_str());
        return true;
    }
    void beginProgress(int) override {}
    bool advance(std::string_view, int) override { return false; }
    void endProgress() override {}
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: save-bench FOLDER OUTDIR png|jpeg THREADS [WxH]\n");
        return 2;
    }
    using namespace vemra;
    const std::string folder = argv[1];
    const std::string out = argv[2];
    const std::string settingsPath =
        (std::filesystem::temp_directory_path() / "vemra-save-bench.ini").string();
    SettingsStore store(settingsPath);
    DecoderRegistry registry(store);
    registry.setWriteBack(false);
    const RegistryScanServices services(registry);
    RegistryPictureLoader loader(registry);
    ThumbCache cache;
    DocumentOptions options;
    options.thumbWorkers = std::atoi(argv[4]);
    options.cacheFolder = false;
    options.autoCacheFolder = false;
    FolderDocument document(services, cache, options);
    document.setPictureLoader(&loader);
    document.openFolder(folder, nullptr, false);
    std::vector<int> positions;
    for (int i = 0; i < document.displayedCount(); ++i)
        positions.push_back(i);

    ConversionSettings conversion;
    conversion.options.format =
        std::string(argv[3]) == "png" ? SaveFormatOptions::Png : SaveFormatOptions::Jpeg;
    conversion.options.scaleMode = 10;
    conversion.options.jpegQuality = 90;
    int width = 0;
    int height = 0;
    if (argc > 5 && std::sscanf(argv[5], "%dx%d", &width, &height) == 2) {
        conversion.options.sizeMode = SaveFormatOptions::FitSize;
        conversion.options.width = width;
        conversion.options.height = height;
    }
    conversion.sharpening = options.sharpening();
    conversion.manageColours = options.colorManagement;
    Unattended questions;
    const auto start = std::chrono::steady_clock::now();
    const int written = saveEntriesInFormat(document, positions, out, conversion, questions);
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    std::printf("%.1f ms wall, %.1f ms processor (the whole run), %d written\n", ms, cpu, written);
    std::filesystem::remove(settingsPath);
    return written == static_cast<int>(positions.size()) ? 0 : 1;
}
