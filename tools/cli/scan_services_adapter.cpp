#include "scan_services_adapter.h"

#include "imaging/spi_block.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace vemra::cli {
namespace {

constexpr std::size_t kHeaderBytes = 2048;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

bool switchedOn(const DocumentOptions& o, DecoderId id) {
    switch (id) {
    case kBmpDecoderId:
        return o.innerBmp;
    case kJpegDecoderId:
        return o.innerJpeg;
    case kGifDecoderId:
        return o.innerGif;
    case kTiffDecoderId:
        return o.innerTiff;
    case kTextDecoderId:
        return o.innerText;
    case kAviDecoderId:
        return o.innerAvi;
    case kMpegDecoderId:
        return o.innerMpeg;
    case kPngDecoderId:
        return o.innerPng;
    case kGif2DecoderId:
        return o.innerGif2;
    default:
        return false;
    }
}

void appendList(std::string& list, std::string_view more) {
    if (more.empty())
        return;
    if (!list.empty())
        list += ';';
    list += more;
}

} // namespace

std::string defaultPluginFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "plugins";
    return (exe.parent_path() / ".." / ".." / "plugins").lexically_normal().string();
}

CliScanServices::CliScanServices(const DocumentOptions& options, const std::string& pluginDir) {
    for (const BuiltinDecoder& d : builtinDecoders())
        if (switchedOn(options, d.id))
            m_builtins.push_back(&d);
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry& e : fs::directory_iterator(pluginDir, error)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 4 && equalIgnoringCase(name.substr(name.size() - 4), ".spi"))
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const std::string& path : files) {
        std::optional<PluginModule> module = PluginModule::open(path);
        if (!module)
            continue;
        if (module->kind() == PluginKind::Picture)
            m_pictures.push_back(std::move(*module));
        else if (module->kind() == PluginKind::Archive)
            m_archives.push_back(std::move(*module));
    }
}

DecoderId CliScanServices::identifyHeader(const std::string& name,
                                          std::span<const std::byte> bytes) const {
    std::array<std::byte, kHeaderBytes> header{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), header.size()), header.begin());
    for (std::size_t i = 0; i < m_pictures.size(); ++i)
        if (m_pictures[i].isSupported(name, header))
            return static_cast<DecoderId>(i);
    for (const BuiltinDecoder* d : m_builtins)
        if (d->identify(name.c_str(), header.data()))
            return d->id;
    return kNoDecoder;
}

DecoderId CliScanServices::identifyFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return kNoDecoder;
    std::array<std::byte, kHeaderBytes> header{};
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    return identifyHeader(path, header);
}

DecoderId CliScanServices::identifyMember(DecoderId archiveDecoder, const std::string& archivePath,
                                          const ArchiveEntry& member) const {
    const PluginModule* module = archive(archiveDecoder);
    if (!module)
        return kNoDecoder;
    SpiBlock bytes;
    if (module->fileToMemory(PluginSource::file(archivePath), member.position, bytes) !=
        ResultCode::Success)
        return kNoDecoder;
    const std::string name(member.filename, strnlen(member.filename, sizeof member.filename));
    return identifyHeader(name, bytes.bytes());
}

DecoderId CliScanServices::identifyArchive(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return kNoDecoder;
    std::array<std::byte, kHeaderBytes> header{};
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    for (std::size_t i = 0; i < m_archives.size(); ++i)
        if (m_archives[i].isSupported(path, header))
            return static_cast<DecoderId>(i);
    return kNoDecoder;
}

ResultCode CliScanServices::listArchive(DecoderId archiveDecoder, const std::string& path,
                                        std::vector<ArchiveEntry>& members) const {
    const PluginModule* module = archive(archiveDecoder);
    if (!module)
        return ResultCode::Failure;
    return module->archiveInfo(PluginSource::file(path), members);
}

DecoderId CliScanServices::pictureDecoderNamed(std::string_view name) const {
    for (const BuiltinDecoder* d : m_builtins)
        if (equalIgnoringCase(d->label, name))
            return d->id;
    for (std::size_t i = 0; i < m_pictures.size(); ++i)
        if (equalIgnoringCase(m_pictures[i].name(), name))
            return static_cast<DecoderId>(i);
    return kNoDecoder;
}

DecoderId CliScanServices::archiveDecoderNamed(std::string_view name) const {
    for (std::size_t i = 0; i < m_archives.size(); ++i)
        if (equalIgnoringCase(m_archives[i].name(), name))
            return static_cast<DecoderId>(i);
    return kNoDecoder;
}

std::string CliScanServices::pictureDecoderLabel(DecoderId id) const {
    if (const BuiltinDecoder* d = findBuiltinDecoder(id))
        return std::string(d->label);
    if (id >= 0 && static_cast<std::size_t>(id) < m_pictures.size())
        return m_pictures[static_cast<std::size_t>(id)].name();
    return {};
}

std::string CliScanServices::pictureExtensions() const {
    std::string list;
    for (const BuiltinDecoder* d : m_builtins)
        appendList(list, d->extensions);
    for (const PluginModule& m : m_pictures)
        appendList(list, m.extensionList());
    return list;
}

std::string CliScanServices::archiveExtensions() const {
    std::string list;
    for (const PluginModule& m : m_archives)
        appendList(list, m.extensionList());
    return list;
}

const PluginModule* CliScanServices::archive(DecoderId id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= m_archives.size())
        return nullptr;
    return &m_archives[static_cast<std::size_t>(id)];
}

} // namespace vemra::cli
