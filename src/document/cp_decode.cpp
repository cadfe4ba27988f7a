#include "document/cp_decode.h"

#include "platform/dynamic_library.h"
#include "platform/fault_guard.h"
#include "platform/file_status.h"
#include "platform/program_path.h"
#include "platform/text_encoding.h"

#include <array>
#include <cstring>
#include <string_view>

namespace vemra {
namespace {

using CpDecodeFunction = int (*)(const char*, char*, int);

} // namespace

std::string defaultCpDecodeLibrary() {
    const std::string folder = executableDir();
    if (!folder.empty()) {
        std::string beside = folder;
        beside += '/';
        beside += kCpDecodeLibraryName;
        if (isExistingFile(beside))
            return beside;
    }
    return kCpDecodeLibraryName;
}

std::string cpDecodeItems(const std::string& picturePath, const std::string& library) {
    DynamicLibrary module;
    const std::string path = library.empty() ? defaultCpDecodeLibrary() : library;
    const bool loaded =
        path.find('/') == std::string::npos ? module.openFromSearchPath(path) : module.open(path);
    if (!loaded)
        return {};
    const auto decode = module.function<CpDecodeFunction>(kCpDecodeExport);
    if (decode == nullptr)
        return {};
    // One byte more than the library is told about, always zero: a library
    // that fills all 128 bytes without a terminator is still read safely.
    std::array<char, kCpDecodeBufferSize + 1> buffer{};
    int result = 0;
    FaultReport fault;
    const char* picture = picturePath.c_str();
    char* text = buffer.data();
    if (!runGuarded(
            "CpDecode", [&] { result = decode(picture, text, kCpDecodeBufferSize); }, fault))
        return {};
    if (result == 0)
        return {};
    buffer.back() = '\0';
    const std::string items = toUtf8(std::string_view(buffer.data(), std::strlen(buffer.data())));
    std::string out;
    std::size_t start = 0;
    while (start <= items.size()) {
        std::size_t end = items.find(':', start);
        if (end == std::string::npos)
            end = items.size();
        if (end > start) {
            out += '[';
            out.append(items, start, end - start);
            out += "] ";
        }
        start = end + 1;
    }
    return out;
}

} // namespace vemra
