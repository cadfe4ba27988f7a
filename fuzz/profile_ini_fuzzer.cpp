// The private-profile ini reader (settings, the cache list file, note files)
// on arbitrary file contents: every section and key is read, and one write
// rewrites the file, so the parser and the writer both meet hostile lines.
#include "fuzz_support.h"
#include "platform/profile_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vemra;
    const std::string path = fuzz::writeScratch("profile.ini", fuzz::asBytes(data, size));
    {
        ProfileIni ini(path);
        for (const std::string& section : ini.sectionNames()) {
            for (const std::string& key : ini.keyNames(section)) {
                (void)ini.readText(section, key);
                (void)ini.readInt(section, key, -1);
            }
        }
        (void)ini.readText("Note", "x", "fallback", 7);
        if (ini.writeText("Thumbsnail", "CacheSeqNo", "12")) {
            // A value written is a value read back.
            if (ini.readInt("Thumbsnail", "CacheSeqNo", 0) != 12)
                std::abort();
        }
        (void)ini.deleteKey("Note", "x");
    }
    // The file as rewritten must load again.
    ProfileIni again(path);
    (void)again.sectionNames();
    return 0;
}
