#pragma once

#include "imaging/plugin_module.h"
#include "platform/fault_guard.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The messages between the program and the plug-in host (vemra-spi-host).
// Each message is one datagram of a SOCK_SEQPACKET socket: a 32-bit type and
// its fields, little-endian as the machine writes them (both ends are the
// same build). Bulk bytes (pictures, members, member lists, memory sources)
// travel beside a message as a memfd passed with SCM_RIGHTS, so no message
// is large. The program treats every byte the host sends as untrusted.
namespace vemra::host {

// No message is longer: headers for identification are 2560 bytes, paths
// PATH_MAX, comments are cut to fit.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;
// Longest text field read from a message.
inline constexpr std::size_t kMaxTextBytes = 16 * 1024;
// Most information entries a plug-in may report (see PluginModule).
inline constexpr std::uint32_t kMaxInformation = 300;

enum class Message : std::uint32_t {
    // Program to host.
    Load = 1,            // plug-in path
    IsSupported,         // plug-in path, file name, header bytes
    IsSupportedAny,      // file name, header bytes, plug-in paths: the first that takes it
    PictureInfo,         // plug-in path, source
    Picture,             // plug-in path, source, whether the answer may be read in place
    ArchiveInfo,         // plug-in path, source
    FileToMemory,        // plug-in path, archive path, position
    FileToFolder,        // plug-in path, archive path, position, folder
    ConfigurationDialog, // plug-in path, function
    ProgressAnswer,      // the program's progress callback's answer
    SharePicture,        // the kept picture again, in a memfd (when reading in place failed)
    Release,             // the kept picture was read; no answer
    IdentifyBatch,       // many files at once: the request in a memfd (host_identify_batch.h)
    // Host to program.
    Loaded = 100, // has configuration dialog, information entries
    LoadFailed,   // the loader's error text
    Answer,       // the call's result code and what it returned
    Progress,     // done, total: the plug-in reported progress
    Fault,        // the plug-in faulted; the host ends after sending it
};

class MessageWriter {
public:
    explicit MessageWriter(Message type);
    void u32(std::uint32_t value);
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void u64(std::uint64_t value);
    void i64(std::int64_t value) { u64(static_cast<std::uint64_t>(value)); }
    void text(std::string_view value);
    void bytes(std::span<const std::byte> value);
    std::span<const std::byte> data() const { return m_bytes; }

private:
    std::vector<std::byte> m_bytes;
};

// Reads the fields of one message; every read is bounded by the message.
// After a failed read every further read fails too, so a caller may check
// ok() once at the end.
class MessageReader {
public:
    explicit MessageReader(std::span<const std::byte> message);
    Message type() const { return m_type; }
    bool u32(std::uint32_t& value);
    bool i32(std::int32_t& value);
    bool u64(std::uint64_t& value);
    bool i64(std::int64_t& value);
    bool text(std::string& value, std::size_t maxBytes = kMaxTextBytes);
    bool bytes(std::vector<std::byte>& value, std::size_t maxBytes);
    // True when every read succeeded and nothing is left over.
    bool complete() const { return m_ok && m_at == m_bytes.size(); }
    bool ok() const { return m_ok; }

private:
    bool take(void* out, std::size_t size);

    std::span<const std::byte> m_bytes;
    std::size_t m_at = 0;
    Message m_type{};
    bool m_ok = true;
};

// What the host says about a plug-in it loaded.
struct LoadedReply {
    bool hasConfigurationDialog = false;
    std::vector<std::string> information; // by entry index
};

// The readers of the host's replies, used by the program. Each is false for a
// message that is malformed, too long, or holds values out of range.
bool readLoaded(MessageReader& reader, LoadedReply& out);
// Where in a call the plug-in faulted: in the call itself, or in loading it
// first (each host loads a plug-in on its first call).
enum class FaultPhase : std::uint32_t { Call = 0, Load = 1, Lookup = 2 };
// `index` is which plug-in of a request that asks several faulted.
bool readFault(MessageReader& reader, FaultReport& out, FaultPhase& phase, std::uint32_t& index);
bool readInfoAnswer(MessageReader& reader, int& code, PluginPictureInfo& out);
// Answers that carry a code and, with success, the byte count of the memfd
// sent beside them (pictures, members, member lists).
bool readSizedAnswer(MessageReader& reader, int& code, std::uint64_t& bytes);
// A picture left in the host for the program to read in place: the merged
// picture's size, its header and colour table, and where the host holds the
// pixel rows (read with process_vm_readv).
struct PictureInPlace {
    std::uint64_t total = 0;
    std::vector<std::byte> head;
    std::uint64_t pixelAddress = 0;
    std::uint64_t pixelBytes = 0;
};
// Largest header and colour table sent inside a message.
inline constexpr std::size_t kMaxPictureHead = 32 * 1024;
void writePictureInPlace(MessageWriter& writer, const PictureInPlace& picture);
// False for a malformed answer or sizes that do not add up: the head and the
// pixel rows must fit the total, and the total at most `maxBytes`.
bool readPictureInPlace(MessageReader& reader, int& code, PictureInPlace& out,
                        std::uint64_t maxBytes);
bool readCodeAnswer(MessageReader& reader, int& code);
bool readProgress(MessageReader& reader, int& done, int& total);

// The writers the host uses for the same replies.
void writeFault(MessageWriter& writer, const FaultReport& report, FaultPhase phase,
                std::uint32_t index = 0);
void writeInfoAnswer(MessageWriter& writer, int code, const PluginPictureInfo& info);

} // namespace vemra::host
