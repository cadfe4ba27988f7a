#include "document/scan_masks.h"

#include "platform/file_status.h"
#include "platform/wildcard.h"

namespace vemra {

std::vector<std::string> scanMasks(const ScanRequest& request) {
    std::string text = request.useMask ? request.mask : std::string("*.*");
    // One file opened as a folder keeps its whole name, even when that holds
    // a "," or ";", which would otherwise cut it into masks that find nothing.
    if (request.useMask && text.find_first_of(";,") != std::string::npos) {
        std::string path = request.folder;
        if (path != "/")
            path += '/';
        path += text;
        if (isExistingFile(path))
            return {text};
    }
    std::vector<std::string> masks;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(";,", start);
        if (end == std::string::npos)
            end = text.size();
        // "*.jpg, *.png" as typed: the blank after a separator is no part of a mask.
        const std::string_view mask = trimBlanks(std::string_view(text).substr(start, end - start));
        if (!mask.empty())
            masks.emplace_back(mask);
        start = end + 1;
    }
    return masks;
}

bool maskTakesEveryName(const std::string& mask) {
    return mask == "*" || mask == "*.*";
}

} // namespace vemra
