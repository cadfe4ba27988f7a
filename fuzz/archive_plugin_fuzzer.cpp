// libFuzzer target: the archive plug-in's listing and extraction on
// arbitrary bytes, compiled together with the plug-in's sources.

#include <vemra/spi.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int GetArchiveInfo(const char*, intptr_t, unsigned, SpiHandle*);
extern "C" int GetFile(const char*, intptr_t, void*, unsigned, ProgressCallback, intptr_t);
extern "C" int IsSupported(const char*, const void*);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SpiHandle list = nullptr;
    GetArchiveInfo(reinterpret_cast<const char*>(data), static_cast<intptr_t>(size),
                   SPI_SOURCE_MEMORY, &list);
    const auto* entries = static_cast<const ArchiveEntry*>(list);
    std::size_t members = 0;
    while (members < SpiSize(list) / sizeof(ArchiveEntry) && entries[members].method[0] != 0) {
        ++members;
    }
    // Extraction reads from a file, so small inputs with members are
    // written out and their first members extracted into memory.
    if (members > 0 && size < 100000) {
        const std::string path = "/tmp/vemra-fuzz-" + std::to_string(::getpid());
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
            for (std::size_t i = 0; i < members && i < 4; ++i) {
                SpiHandle member = nullptr;
                GetFile(path.c_str(), entries[i].position, &member, SPI_DEST_MEMORY, nullptr, 0);
                SpiFree(member);
            }
            ::unlink(path.c_str());
        }
    }
    SpiFree(list);
    if (size >= SPI_HEADER_BYTES) {
        IsSupported("fuzz", data);
    }
    return 0;
}
