// The folder-information file ("DIRINFO.KPI") and its thumbnail data file on
// arbitrary bytes. The input is the ini text, then the separator "\n#DATA#\n",
// then the data file, which is stored as "THUMBS.DAT" (seeds name it in
// "ThumbsFile").
#include "document/fake_scan_services.h"
#include "document/folder_info_file.h"
#include "fuzz_support.h"

#include <utime.h>

#include <ctime>
#include <string_view>

// The pictures the seeds list, with the time the seeds record for them, so
// that records pass the freshness check and their thumbnails get read.
constexpr std::time_t kSeedTime = 1000000000;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vemra::fuzz::ensureGuiApplication();
    for (const char* name : {"a.jpg", "b.png", "x.bmp", "set.arc"}) {
        const std::string_view content =
            std::string_view(name) == "set.arc" ? "x.jpg 10 5\n" : "data";
        const std::string path = vemra::fuzz::writeScratch(
            name, vemra::fuzz::asBytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                       content.size()));
        const ::utimbuf times{kSeedTime, kSeedTime};
        ::utime(path.c_str(), &times);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSeparator = "\n#DATA#\n";
    const std::size_t cut = all.find(kSeparator);
    const std::string_view ini = all.substr(0, cut);
    const std::string_view rest =
        cut == std::string_view::npos ? std::string_view{} : all.substr(cut + kSeparator.size());
    fuzz::writeScratch(
        "DIRINFO.KPI",
        fuzz::asBytes(reinterpret_cast<const std::uint8_t*>(ini.data()), ini.size()));
    fuzz::writeScratch(
        "THUMBS.DAT",
        fuzz::asBytes(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size()));

    FolderInfoFile::Request request;
    request.folder = fuzz::scratchFolder();
    request.archiveOption = size % 2 == 0;
    test::FakeScanServices services;
    FolderInfoFile::Result result = FolderInfoFile::read(request, services, nullptr);
    for (const auto& entry : result.entries)
        (void)entry->fullPath();
    return 0;
}
