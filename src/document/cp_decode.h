#pragma once

#include <string>

// The optional outside library that reports items about a JPEG file (the
// "$(CP)" caption macro and the document's "CP" option). Vemra ships no such
// library; any shared object exporting
//     int CpDecode(const char* path, char* buffer, int bufferSize);
// may stand in. It answers non-zero on success, with the items in `buffer`
// separated by ":".
namespace vemra {

inline constexpr const char* kCpDecodeLibraryName = "libcpdecode.so";
inline constexpr const char* kCpDecodeExport = "CpDecode";
inline constexpr int kCpDecodeBufferSize = 128;

// "libcpdecode.so" beside the program when it is there, else the bare name,
// which the loader looks for along its own search path.
std::string defaultCpDecodeLibrary();

// Loads `library` (the default when empty; a bare name is looked for along
// the loader's search path), asks it about the file at
// `picturePath` and releases it again at once. Each non-empty item becomes
// "[" item "] " (items in Shift-JIS are converted to UTF-8). Empty when the
// library or its export is missing, the call answers 0 or the library
// faults. However the library fills the buffer, at most 128 bytes of it are
// read.
std::string cpDecodeItems(const std::string& picturePath, const std::string& library = {});

} // namespace vemra
