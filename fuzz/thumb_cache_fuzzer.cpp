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
    for (std::size_t at = 0; at < file.recordCount(); ++at) {
        const std::optional<ThumbRecord> record = file.recordAt(at);
        if (!record)
            std::abort(); // every loaded record is read back
        const std::string name = record->fileName();
        const std::string archive = record->archiveFileName();
        if (!file.contains(name, archive))
            std::abort(); // every loaded record is found by its own names
        (void)record->fontFaceName();
        const auto jpegData = record->jpegData();
        if (!jpegData.empty() && decoded++ < 4) {
            PictureBuffer picture;
            (void)jpeg->picture(reinterpret_cast<const char*>(jpegData.data()),
                                static_cast<std::intptr_t>(jpegData.size()), 1, picture,
                                DecodeOptions{});
        }
    }

    // An entry of the folder looked up through a document's cache, which
    // reads the same file.
    if (file.recordCount() > 0) {
        PictureSource entry;
        entry.folder = folder;
        entry.fileName = file.recordAt(0)->fileName();
        test::FakeScanServices services;
        ThumbCache cache;
        (void)cache.lookUp(entry, services);
    }

    const std::size_t count = file.recordCount();
    if (file.write()) {
        ThumbCacheFile again(folder, path);
        if (count > 0 && (!again.load() || again.recordCount() != count))
            std::abort(); // what was written reads back whole
    }
    return 0;
}
