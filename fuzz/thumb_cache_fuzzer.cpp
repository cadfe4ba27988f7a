// The thumbnail-cache file ("_THUMBS_.KPI") on arbitrary bytes: loading, the
// look-up by names, decoding every stored thumbnail, the look-up an entry
// makes, and rewriting the file (which must load again).
#include "document/fake_scan_services.h"
#include "document/picture_source.h"
#include "document/thumb_cache.h"
#include "document/thumb_cache_file.h"
#include "fuzz_support.h"
#include "imaging/decoder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vemra::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string folder = fuzz::scratchFolder();
    const std::string path = fuzz::writeScratch("_THUMBS_.KPI", fuzz::asBytes(data, size));
    static const BuiltinDecoder* jpeg = findBuiltinDecoder(kJpegDecoderId);

    ThumbCacheFile file(folder, path);
    if (!file.load())
        return 0;
    std::size_t decoded = 0;
    for (const ThumbRecord& record : file.records()) {
        const std::string name = record.fileName();
        const std::string archive = record.archiveFileName();
        if (file.find(name, archive) == nullptr)
            std::abort(); // every loaded record is found by its own names
        (void)record.fontFaceName();
        const auto jpegData = record.jpegData();
        if (!jpegData.empty() && decoded++ < 4) {
            PictureBuffer picture;
            (void)jpeg->picture(reinterpret_cast<const char*>(jpegData.data()),
                                static_cast<std::intptr_t>(jpegData.size()), 1, picture,
                                DecodeOptions{});
        }
    }

    // An entry of the folder looked up through a document's cache, which
    // reads the same file.
    if (!file.records().empty()) {
        PictureSource entry;
        entry.folder = folder;
        entry.fileName = file.records().front().fileName();
        test::FakeScanServices services;
        ThumbCache cache;
        (void)cache.lookUp(entry, services);
    }

    const std::size_t count = file.records().size();
    if (file.write()) {
        ThumbCacheFile again(folder, path);
        if (count > 0 && (!again.load() || again.records().size() != count))
            std::abort(); // what was written reads back whole
    }
    return 0;
}
