// libFuzzer target: a picture plug-in's information and decoding on
// arbitrary bytes, compiled together with the plug-in's sources (one target
// per picture plug-in, see CMakeLists.txt).

#include <vemra/spi.h>

#include <cstdint>

extern "C" int GetPictureInfo(const char*, intptr_t, unsigned, PictureInfo*);
extern "C" int GetPicture(const char*, intptr_t, unsigned, SpiHandle*, SpiHandle*, ProgressCallback,
                          intptr_t);
extern "C" int IsSupported(const char*, const void*);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    PictureInfo info{};
    GetPictureInfo(bytes, static_cast<intptr_t>(size), SPI_SOURCE_MEMORY, &info);
    SpiFree(info.hInfo);
    SpiHandle header = nullptr;
    SpiHandle pixels = nullptr;
    GetPicture(bytes, static_cast<intptr_t>(size), SPI_SOURCE_MEMORY, &header, &pixels, nullptr, 0);
    SpiFree(header);
    SpiFree(pixels);
    if (size >= SPI_HEADER_BYTES) {
        IsSupported("fuzz", data);
    }
    return 0;
}

// The AV1 and HEVC decoders under libheif keep a few bytes when a stream
// breaks off; those leaks are theirs and would stop every fuzzing run.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\nleak:libde265.so\nleak:libaom.so\n";
}
