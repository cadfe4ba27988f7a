// Times the folder document's scan of one folder without decoding anything:
// enumeration, the mask, the program-owned names, entries and display order.
// Usage: scan-bench FOLDER [MASK]. Prints the best of five runs.

#include "document/folder_document.h"
#include "document/scan_services.h"
#include "document/thumb_cache.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// A scan without identification or archives never asks the registry.
class NoDecoders final : public vemra::ScanServices {
public:
    vemra::DecoderId identifyFile(const std::string&) const override { return vemra::kNoDecoder; }
    vemra::DecoderId identifyMember(vemra::DecoderId, const std::string&,
                                    const ArchiveEntry&) const override {
        return vemra::kNoDecoder;
    }
    vemra::DecoderId identifyArchive(const std::string&) const override {
        return vemra::kNoDecoder;
    }
    vemra::ResultCode listArchive(vemra::DecoderId, const std::string&,
                                  std::vector<ArchiveEntry>&) const override {
        return vemra::ResultCode::Failure;
    }
    vemra::DecoderId pictureDecoderNamed(std::string_view) const override {
        return vemra::kNoDecoder;
    }
    vemra::DecoderId archiveDecoderNamed(std::string_view) const override {
        return vemra::kNoDecoder;
    }
    std::string pictureDecoderLabel(vemra::DecoderId) const override { return {}; }
    std::string archiveDecoderLabel(vemra::DecoderId) const override { return {}; }
    std::string pictureExtensions() const override { return {}; }
    std::string archiveExtensions() const override { return {}; }
    bool extensionListsOnly() const override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan-bench FOLDER [MASK]\n");
        return 2;
    }
    NoDecoders services;
    vemra::DocumentOptions options;
    options.pathMask = argc > 2 ? argv[2] : "*.*";
    options.filterFileName = true;
    double best = 1e9;
    int listed = 0;
    for (int run = 0; run < 5; ++run) {
        vemra::ThumbCache cache;
        vemra::FolderDocument doc(services, cache, options);
        const auto start = std::chrono::steady_clock::now();
        doc.openFolder(std::string(argv[1]), nullptr, false);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        best = std::min(best, ms);
        listed = doc.displayedCount();
    }
    std::printf("Vemra folder scan: %d entries in %.1f ms (best of 5)\n", listed, best);
    return 0;
}
