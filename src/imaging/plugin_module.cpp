#include "imaging/plugin_module.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vemra {

namespace {

// More information entries than this mark a plug-in that answers every index;
// nothing sane ships that many file types.
constexpr int kMaxExtensionEntries = 128;

std::string boundedText(const char* text, std::size_t capacity) {
    return std::string(text, ::strnlen(text, capacity));
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

ResultCode asResult(int code) {
    return static_cast<ResultCode>(code);
}

} // namespace

std::string entryMethod(const ArchiveEntry& entry) {
    return boundedText(reinterpret_cast<const char*>(entry.method), sizeof entry.method);
}

PluginPictureInfo takePictureInfo(const PictureInfo& info) {
    const SpiBlock comment(info.hInfo);
    PluginPictureInfo out;
    out.left = info.left;
    out.top = info.top;
    out.width = info.width;
    out.height = info.height;
    out.xDensity = info.x_density;
    out.yDensity = info.y_density;
    out.bitCount = info.colorDepth;
    if (!comment.isNull()) {
        const std::span<const std::byte> text = comment.bytes();
        out.comment = boundedText(reinterpret_cast<const char*>(text.data()), text.size());
    }
    return out;
}

std::string entryPath(const ArchiveEntry& entry) {
    return boundedText(entry.path, sizeof entry.path);
}

std::string entryFileName(const ArchiveEntry& entry) {
    return boundedText(entry.filename, sizeof entry.filename);
}

PictureBuffer mergePictureBlocks(const SpiBlock& info, const SpiBlock& pixels) {
    if (info.isNull()) {
        return {};
    }
    const std::span<const std::byte> infoBytes = info.bytes();
    const std::optional<DibLayout> layout = DibLayout::describe(infoBytes);
    if (!layout || layout->pixelOffset > infoBytes.size()) {
        return {};
    }
    const std::size_t pixelBytes = pixels.size();
    const std::size_t room = std::max(pixelBytes, layout->imageBytes);
    if (room > MemoryBlock::kMaxBytes - layout->pixelOffset) {
        return {};
    }
    PictureBuffer merged = PictureBuffer::allocate(layout->pixelOffset + room);
    if (merged.isNull()) {
        return {};
    }
    std::span<std::byte> out = merged.block();
    std::memcpy(out.data(), infoBytes.data(), layout->pixelOffset);
    if (pixelBytes > 0) {
        std::memcpy(out.data() + layout->pixelOffset, pixels.bytes().data(), pixelBytes);
    }
    return merged;
}

PluginModule::PluginModule(std::string path) : m_path(std::move(path)), m_name(baseName(m_path)) {}

std::optional<PluginModule> PluginModule::open(const std::string& path, std::string* error) {
    PluginModule module(path);
    if (!module.loadLibrary(error)) {
        return std::nullopt;
    }
    module.lookUpExports();
    module.readInformation();
    return module;
}

bool PluginModule::loadLibrary(std::string* error) {
    if (m_library.isOpen()) {
        return true;
    }
    m_exports = {};
    return m_library.open(m_path, error);
}

void PluginModule::lookUpExports() {
    const DynamicLibrary& l = m_library;
    m_exports.getPluginInfo = l.function<SpiGetPluginInfo>("GetPluginInfo");
    m_exports.isSupported = l.function<SpiIsSupported>("IsSupported");
    m_exports.getPictureInfo = l.function<SpiGetPictureInfo>("GetPictureInfo");
    m_exports.getPicture = l.function<SpiGetPicture>("GetPicture");
    m_exports.getPreview = l.function<SpiGetPreview>("GetPreview");
    m_exports.getArchiveInfo = l.function<SpiGetArchiveInfo>("GetArchiveInfo");
    m_exports.getFileInfo = l.function<SpiGetFileInfo>("GetFileInfo");
    m_exports.getFile = l.function<SpiGetFile>("GetFile");
    m_exports.configurationDlg = l.function<SpiConfigurationDlg>("ConfigurationDlg");
}

void PluginModule::readInformation() {
    m_information.clear();
    if (m_exports.getPluginInfo == nullptr) {
        return;
    }
    // One byte more than the plug-in is told, so a plug-in that fills the
    // whole buffer without a terminating NUL still reads as a bounded text.
    std::array<char, kInfoBufferBytes + 1> buffer{};
    const auto read = [&](int index) {
        buffer.fill('\0');
        const int length = m_exports.getPluginInfo(index, buffer.data(), kInfoBufferBytes);
        if (length <= 0) {
            return false;
        }
        if (m_information.size() <= static_cast<std::size_t>(index)) {
            m_information.resize(static_cast<std::size_t>(index) + 1);
        }
        m_information[static_cast<std::size_t>(index)] =
            boundedText(buffer.data(), kInfoBufferBytes);
        return true;
    };
    read(1);
    read(0);
    read(3);
    for (int index = 2; index < 2 + 2 * kMaxExtensionEntries; index += 2) {
        if (!read(index)) {
            break;
        }
        if (index + 1 != 3) {
            read(index + 1);
        }
    }
}

void PluginModule::unload() {
    m_library.close();
    m_exports = {};
}

void PluginModule::adoptInformation(std::vector<std::string> information,
                                    bool hasConfigurationDialog) {
    m_information = std::move(information);
    m_adoptedConfigurationDialog = hasConfigurationDialog;
}

PluginKind PluginModule::kind() const {
    const std::string& type = typeString();
    if (type == "00IN") {
        return PluginKind::Picture;
    }
    if (type == "00AM") {
        return PluginKind::Archive;
    }
    return PluginKind::Other;
}

const std::string& PluginModule::information(int index) const {
    static const std::string kNone;
    if (index < 0 || static_cast<std::size_t>(index) >= m_information.size()) {
        return kNone;
    }
    return m_information[static_cast<std::size_t>(index)];
}

std::string PluginModule::extensionList() const {
    std::string list;
    for (std::size_t index = 2; index < m_information.size(); index += 2) {
        if (m_information[index].empty()) {
            continue;
        }
        if (!list.empty()) {
            list += ';';
        }
        list += m_information[index];
    }
    return list;
}

bool PluginModule::isSupported(const std::string& fileName,
                               std::span<const std::byte> header) const {
    if (m_exports.isSupported == nullptr) {
        return false;
    }
    if (header.size() >= SPI_HEADER_BYTES) {
        return m_exports.isSupported(fileName.c_str(), header.data()) != 0;
    }
    std::array<std::byte, SPI_HEADER_BYTES> padded{};
    std::memcpy(padded.data(), header.data(), header.size());
    return m_exports.isSupported(fileName.c_str(), padded.data()) != 0;
}

bool PluginModule::isSupportedDescriptor(const std::string& fileName, int fd) const {
    if (m_exports.isSupported == nullptr || fd < 0 ||
        static_cast<unsigned>(fd) >= SPI_HEADER_FD_LIMIT) {
        return false;
    }
    const void* header = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(fd));
    return m_exports.isSupported(fileName.c_str(), header) != 0;
}

ResultCode PluginModule::pictureInfo(const PluginSource& source, PluginPictureInfo& out) const {
    out = {};
    if (m_exports.getPictureInfo == nullptr) {
        return ResultCode::Failure;
    }
    PictureInfo info{};
    const int code =
        m_exports.getPictureInfo(source.buffer(), source.number(), source.mode(), &info);
    // The comment handle belongs to us whatever the answer.
    PluginPictureInfo read = takePictureInfo(info);
    if (code == SPI_ALL_RIGHT) {
        out = std::move(read);
    }
    return asResult(code);
}

ResultCode PluginModule::pictureBlocks(const PluginSource& source, SpiBlock& info, SpiBlock& pixels,
                                       ProgressCallback progress, intptr_t userData) const {
    info.reset();
    pixels.reset();
    if (m_exports.getPicture == nullptr) {
        return ResultCode::Failure;
    }
    return asResult(m_exports.getPicture(source.buffer(), source.number(), source.mode(),
                                         info.receive(), pixels.receive(), progress, userData));
}

ResultCode PluginModule::picture(const PluginSource& source, PictureBuffer& out,
                                 ProgressCallback progress, intptr_t userData) const {
    out = {};
    SpiBlock info;
    SpiBlock pixels;
    const ResultCode code = pictureBlocks(source, info, pixels, progress, userData);
    if (code != ResultCode::Success) {
        return code;
    }
    out = mergePictureBlocks(info, pixels);
    if (out.isNull()) {
        const bool sane = !info.isNull() && DibLayout::describe(info.bytes()).has_value();
        return sane ? ResultCode::OutOfMemory : ResultCode::InvalidData;
    }
    return ResultCode::Success;
}

ResultCode PluginModule::archiveInfo(const PluginSource& source, std::vector<ArchiveEntry>& out,
                                     bool* gotList) const {
    out.clear();
    if (gotList != nullptr) {
        *gotList = false;
    }
    if (m_exports.getArchiveInfo == nullptr) {
        return ResultCode::Failure;
    }
    SpiBlock list;
    const int code =
        m_exports.getArchiveInfo(source.buffer(), source.number(), source.mode(), list.receive());
    if (!list.isNull()) {
        if (gotList != nullptr) {
            *gotList = true;
        }
        // A list without its terminating record ends with its block.
        const std::span<const std::byte> bytes = list.bytes();
        const std::size_t records = bytes.size() / sizeof(ArchiveEntry);
        for (std::size_t i = 0; i < records; ++i) {
            ArchiveEntry entry;
            std::memcpy(&entry, bytes.data() + i * sizeof(ArchiveEntry), sizeof entry);
            if (entry.method[0] == 0) {
                break;
            }
            out.push_back(entry);
        }
    }
    return asResult(code);
}

ResultCode PluginModule::fileInfo(const PluginSource& source, const std::string& memberName,
                                  ArchiveEntry& out, unsigned flags) const {
    out = {};
    if (m_exports.getFileInfo == nullptr) {
        return ResultCode::Failure;
    }
    return asResult(m_exports.getFileInfo(source.buffer(), source.number(), memberName.c_str(),
                                          source.mode() | (flags & ~SPI_SOURCE_MASK), &out));
}

ResultCode PluginModule::fileToMemory(const PluginSource& source, std::uint32_t position,
                                      SpiBlock& out, ProgressCallback progress,
                                      intptr_t userData) const {
    out.reset();
    if (m_exports.getFile == nullptr || source.isMemory()) {
        return ResultCode::Failure;
    }
    SpiHandle* destination = out.receive();
    return asResult(m_exports.getFile(source.buffer(), static_cast<intptr_t>(position), destination,
                                      source.mode() | SPI_DEST_MEMORY, progress, userData));
}

ResultCode PluginModule::fileToFolder(const PluginSource& source, std::uint32_t position,
                                      const std::string& folder, ProgressCallback progress,
                                      intptr_t userData) const {
    if (m_exports.getFile == nullptr || source.isMemory()) {
        return ResultCode::Failure;
    }
    // The plug-in takes `dest` as a writable pointer for the memory form; the
    // folder form only reads it.
    std::string destination = folder;
    return asResult(m_exports.getFile(source.buffer(), static_cast<intptr_t>(position),
                                      destination.data(), source.mode() | SPI_DEST_FOLDER, progress,
                                      userData));
}

int PluginModule::configurationDialog(void* parent, int function) const {
    if (m_exports.configurationDlg == nullptr) {
        return -1;
    }
    return m_exports.configurationDlg(parent, function);
}

} // namespace vemra
