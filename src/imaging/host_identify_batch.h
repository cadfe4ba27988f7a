#pragma once

#include "imaging/host_protocol.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Identification of many files in one exchange with the plug-in host. A
// folder of small pictures costs one round trip per file otherwise, more than
// the plug-ins take to answer. The request travels in a sealed memfd (its
// headers are too many for one message); the answer names, per file, the
// plug-in that took it. Both directions are checked: counts, sizes and
// indices are bounded before anything is sized from them.
namespace vemra::host {

// Files per request, and bytes of the whole request, at most.
inline constexpr std::uint32_t kMaxBatchFiles = 1024;
inline constexpr std::size_t kMaxBatchBytes = std::size_t{8} << 20;
inline constexpr std::uint32_t kMaxBatchPlugins = 4096;
inline constexpr std::size_t kMaxBatchHeader = 8192;
inline constexpr std::size_t kMaxBatchText = 8192;

// One file of a request, as the program writes it.
struct BatchQuestion {
    std::string_view fileName;
    std::span<const std::byte> header;
    // The plug-ins (indices into the request's list) that may be asked about
    // this file; every one when `everyPlugin`.
    std::span<const std::uint32_t> eligible;
    bool everyPlugin = true;
};

// One file of a request, as the host reads it.
struct BatchFile {
    std::string fileName;
    std::vector<std::byte> header;
    std::vector<std::uint32_t> eligible;
    bool everyPlugin = true;
};

struct IdentifyBatch {
    // Whether a plug-in that takes a file is asked first about the next
    // files (the most-recently-successful order), or the order stays.
    bool moveToFront = false;
    std::vector<std::string> plugins; // paths, in the order they are asked
    std::vector<BatchFile> files;
};

// The request's bytes (a whole message, type IdentifyBatch) for the memfd.
void writeIdentifyBatch(MessageWriter& writer, bool moveToFront,
                        std::span<const std::string_view> plugins,
                        std::span<const BatchQuestion> files);
// False for a request that is malformed or out of bounds.
bool readIdentifyBatch(MessageReader& reader, IdentifyBatch& out);

// Asks the plug-ins about each file in turn as one-file identification
// would: in the list's order, only the eligible ones, up to the first that
// takes it, which then moves to the front when the batch says so. `takes`
// answers whether plug-in `plugin` takes file `file`. The result holds, per
// file, the index (into the request's list) of the plug-in that took it, or
// -1.
std::vector<std::int32_t>
firstTakers(const IdentifyBatch& batch,
            const std::function<bool(std::uint32_t plugin, std::size_t file)>& takes);

void writeBatchAnswer(MessageWriter& writer, std::span<const std::int32_t> winners);
// False unless the answer holds exactly `files` winners, each -1 or below
// `plugins`.
bool readBatchAnswer(MessageReader& reader, std::size_t files, std::size_t plugins,
                     std::vector<std::int32_t>& winners);

} // namespace vemra::host
