#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"
#include "imaging/spi_block.h"
#include "platform/dynamic_library.h"

#include <vemra/spi.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

// The two kinds of plug-in, told apart by information entry 0.
enum class PluginKind {
    Picture, // "00IN"
    Archive, // "00AM"
    Other,   // anything else: loadable, but the program has no use for it
};

// Where a plug-in reads its data from: a file name and the byte offset where
// the data begins, or bytes in memory. A memory source does not own its bytes;
// they must outlive every call it is passed to.
class PluginSource {
public:
    static PluginSource file(std::string path, std::int64_t offset = 0) {
        PluginSource s;
        s.m_path = std::move(path);
        s.m_number = static_cast<intptr_t>(offset);
        return s;
    }
    static PluginSource memory(std::span<const std::byte> bytes) {
        PluginSource s;
        s.m_memory = bytes.data();
        s.m_number = static_cast<intptr_t>(bytes.size());
        s.m_isMemory = true;
        return s;
    }

    bool isMemory() const { return m_isMemory; }
    const std::string& path() const { return m_path; }
    // The `buf`, `len` and source-mode bits of a plug-in call.
    const char* buffer() const {
        return m_isMemory ? reinterpret_cast<const char*>(m_memory) : m_path.c_str();
    }
    intptr_t number() const { return m_number; }
    unsigned mode() const { return m_isMemory ? SPI_SOURCE_MEMORY : SPI_SOURCE_FILE; }

private:
    PluginSource() = default;

    std::string m_path;
    const std::byte* m_memory = nullptr;
    intptr_t m_number = 0;
    bool m_isMemory = false;
};

// What GetPictureInfo tells; the comment handle has been read and freed.
struct PluginPictureInfo {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int xDensity = 0;
    int yDensity = 0;
    int bitCount = 0;
    std::string comment;
};

// `info` as the program keeps it. Takes over its comment block, which is
// freed whatever the call that filled it answered.
PluginPictureInfo takePictureInfo(const PictureInfo& info);

// Bounded readers of the text fields of an archive record, which a plug-in
// may leave without a terminating NUL.
std::string entryMethod(const ArchiveEntry& entry);
std::string entryPath(const ArchiveEntry& entry);
std::string entryFileName(const ArchiveEntry& entry);

// Merges the two blocks of a plug-in picture into one picture buffer: header
// and colour table from `info`, pixel rows from `pixels`, with room for the
// larger of the pixel block and the image the header describes (a short pixel
// block leaves zero rows). Every size is checked against the blocks' real
// sizes. Null when the header is not a sane picture header or the info block
// is too small for the table it announces, or when memory runs out.
PictureBuffer mergePictureBlocks(const SpiBlock& info, const SpiBlock& pixels);

// One loaded plug-in library (*.spi): its exports, its information strings and
// typed calls into it.
//
// Loading runs in three steps so that a caller can guard each one on its own
// against a faulting plug-in: loadLibrary(), lookUpExports(),
// readInformation(); open() runs all three. The information stays known after
// unload(), so an unloaded plug-in can still be listed; its calls then fail
// like missing exports (Failure, isSupported false).
//
// Calls are not guarded here: a plug-in that faults takes the process down
// unless the caller catches the fault.
class PluginModule {
public:
    // The exports, null when the library lacks them.
    struct Exports {
        SpiGetPluginInfo getPluginInfo = nullptr;
        SpiIsSupported isSupported = nullptr;
        SpiGetPictureInfo getPictureInfo = nullptr;
        SpiGetPicture getPicture = nullptr;
        SpiGetPreview getPreview = nullptr;
        SpiGetArchiveInfo getArchiveInfo = nullptr;
        SpiGetFileInfo getFileInfo = nullptr;
        SpiGetFile getFile = nullptr;
        SpiConfigurationDlg configurationDlg = nullptr;
    };

    // Length of the buffers information entries are read into, NUL included.
    static constexpr int kInfoBufferBytes = 256;

    explicit PluginModule(std::string path);
    PluginModule(PluginModule&&) noexcept = default;
    PluginModule& operator=(PluginModule&&) noexcept = default;

    // Loads the library, looks up its exports and reads its information; on
    // failure `error` receives the system's text.
    static std::optional<PluginModule> open(const std::string& path, std::string* error = nullptr);

    bool loadLibrary(std::string* error = nullptr);
    void lookUpExports();
    // Reads entries 1, 0, 3, then 2, 4, 6 ... until the plug-in has no more,
    // and after each extension entry its file-type name.
    void readInformation();
    void unload();
    // Takes information entries read by another process that loaded the
    // plug-in (the plug-in host); the library itself stays unloaded here.
    void adoptInformation(std::vector<std::string> information, bool hasConfigurationDialog);

    bool isLoaded() const { return m_library.isOpen(); }
    const std::string& path() const { return m_path; }
    // The file name without folder and extension, e.g. "webp".
    const std::string& name() const { return m_name; }
    const Exports& exports() const { return m_exports; }

    PluginKind kind() const;
    // Entry 0 as the plug-in wrote it ("00IN", "00AM", or anything else).
    const std::string& typeString() const { return information(0); }
    // Entry 1, the one-line description.
    const std::string& description() const { return information(1); }
    // The extension patterns (entries 2, 4, 6 ...) joined with ";".
    std::string extensionList() const;
    // Entry `index`; empty when the plug-in has none.
    const std::string& information(int index) const;
    int informationCount() const { return static_cast<int>(m_information.size()); }

    // IsSupported with a header of the file's first bytes; a shorter header
    // is zero-padded to the promised SPI_HEADER_BYTES.
    bool isSupported(const std::string& fileName, std::span<const std::byte> header) const;
    // IsSupported with an open file descriptor positioned at the data.
    bool isSupportedDescriptor(const std::string& fileName, int fd) const;

    ResultCode pictureInfo(const PluginSource& source, PluginPictureInfo& out) const;
    // GetPicture, leaving the two blocks unmerged (both are owned by the
    // caller whatever the result).
    ResultCode pictureBlocks(const PluginSource& source, SpiBlock& info, SpiBlock& pixels,
                             ProgressCallback progress, intptr_t userData) const;
    // GetPicture and the merge of its blocks. A success whose blocks cannot be
    // merged answers InvalidData, or OutOfMemory.
    ResultCode picture(const PluginSource& source, PictureBuffer& out,
                       ProgressCallback progress = nullptr, intptr_t userData = 0) const;

    // GetArchiveInfo. The member list (up to its terminating record, bounded
    // by the block's size) is stored in `out` whenever the plug-in returns
    // one, also together with a failure code; `gotList` tells whether it did.
    ResultCode archiveInfo(const PluginSource& source, std::vector<ArchiveEntry>& out,
                           bool* gotList = nullptr) const;
    ResultCode fileInfo(const PluginSource& source, const std::string& memberName,
                        ArchiveEntry& out, unsigned flags = 0) const;
    // GetFile into memory: `out` receives the member's bytes, a block of the
    // size the plug-in made it. GetFile carries the member's position where
    // other calls carry the offset, so the archive is read from the start of
    // the source's file; memory sources cannot be used (Failure).
    ResultCode fileToMemory(const PluginSource& source, std::uint32_t position, SpiBlock& out,
                            ProgressCallback progress = nullptr, intptr_t userData = 0) const;
    // GetFile into a folder, under the member's file name.
    ResultCode fileToFolder(const PluginSource& source, std::uint32_t position,
                            const std::string& folder, ProgressCallback progress = nullptr,
                            intptr_t userData = 0) const;

    bool hasConfigurationDialog() const {
        return m_exports.configurationDlg != nullptr || m_adoptedConfigurationDialog;
    }
    // ConfigurationDlg's own answer, or -1 when the plug-in has none.
    int configurationDialog(void* parent, int function) const;

private:
    std::string m_path;
    std::string m_name;
    DynamicLibrary m_library;
    Exports m_exports;
    std::vector<std::string> m_information; // by entry index; missing ones empty
    bool m_adoptedConfigurationDialog = false;
};

} // namespace vemra
