#pragma once

#include "document/scan_services.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vemra::test {

// Identifies pictures by extension only (".jpg", ".jpeg" JPEG, ".png" PNG,
// ".bmp" BMP; case ignored; empty files never), and takes "*.arc" files as
// archives: text files with one member per line, "name size time", or the
// single line "BROKEN" for an archive whose list cannot be read.
class FakeScanServices : public ScanServices {
public:
    static constexpr DecoderId kArchiveId = 0;
    mutable int identifyCalls = 0;

    static std::string lowerExtension(std::string_view name) {
        const auto dot = name.rfind('.');
        std::string ext(dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1));
        for (char& c : ext)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return ext;
    }
    static DecoderId byName(std::string_view name) {
        const std::string ext = lowerExtension(name);
        if (ext == "jpg" || ext == "jpeg")
            return kJpegDecoderId;
        if (ext == "png")
            return kPngDecoderId;
        if (ext == "bmp")
            return kBmpDecoderId;
        return kNoDecoder;
    }

    DecoderId identifyFile(const std::string& path) const override {
        ++identifyCalls;
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in || in.tellg() <= 0)
            return kNoDecoder;
        return byName(path);
    }
    DecoderId identifyMember(DecoderId, const std::string&,
                             const ArchiveEntry& member) const override {
        ++identifyCalls;
        return byName(member.filename);
    }
    DecoderId identifyArchive(const std::string& path) const override {
        return lowerExtension(path) == "arc" ? kArchiveId : kNoDecoder;
    }
    ResultCode listArchive(DecoderId, const std::string& path,
                           std::vector<ArchiveEntry>& members) const override {
        std::ifstream in(path);
        std::string line;
        int position = 0;
        while (std::getline(in, line)) {
            if (line == "BROKEN")
                return ResultCode::BrokenData;
            std::istringstream fields(line);
            std::string name;
            std::uint32_t size = 0, time = 0;
            if (!(fields >> name >> size >> time))
                continue;
            ArchiveEntry e{};
            e.position = static_cast<std::uint32_t>(position++ * 100);
            e.filesize = size;
            e.timestamp = time;
            std::strncpy(e.filename, name.c_str(), sizeof e.filename - 1);
            members.push_back(e);
        }
        return ResultCode::Success;
    }
    DecoderId pictureDecoderNamed(std::string_view name) const override {
        const std::string ext = lowerExtension(std::string(".") + std::string(name));
        if (ext == "jpeg")
            return kJpegDecoderId;
        if (ext == "png")
            return kPngDecoderId;
        if (ext == "bmp")
            return kBmpDecoderId;
        return kNoDecoder;
    }
    DecoderId archiveDecoderNamed(std::string_view name) const override {
        return lowerExtension(std::string(".") + std::string(name)) == "arcspi" ? kArchiveId
                                                                                : kNoDecoder;
    }
    std::string pictureDecoderLabel(DecoderId id) const override {
        switch (id) {
        case kJpegDecoderId:
            return "JPEG";
        case kPngDecoderId:
            return "PNG";
        case kBmpDecoderId:
            return "BMP";
        default:
            return {};
        }
    }
    std::string archiveDecoderLabel(DecoderId id) const override {
        return id == kArchiveId ? "arcspi" : std::string();
    }
    std::string pictureExtensions() const override { return "*.jpg;*.jpeg;*.png;*.bmp"; }
    std::string archiveExtensions() const override { return "*.arc"; }
    bool extensionListsOnly() const override { return extensionOnly; }
    bool extensionOnly = false;
};

} // namespace vemra::test
