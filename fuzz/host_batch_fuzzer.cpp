// libFuzzer target: both ends' readers of a batch identification. The host
// reads the program's request; the program reads the host's answer, which
// runs plug-in code and is as untrusted as a picture.

#include "imaging/host_identify_batch.h"

#include <cstdint>
#include <span>

using namespace vemra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> message(reinterpret_cast<const std::byte*>(data), size);
    {
        host::MessageReader reader(message);
        host::IdentifyBatch batch;
        if (host::readIdentifyBatch(reader, batch)) {
            // Whatever was accepted can be walked: a plug-in takes a file
            // when the file's name and the plug-in's index agree.
            (void)host::firstTakers(batch, [&](std::uint32_t plugin, std::size_t file) {
                return (batch.files[file].fileName.size() + plugin) % 3 == 0;
            });
        }
    }
    if (size >= 2) {
        // The answer to a request of as many files and plug-ins as the first
        // two bytes say.
        host::MessageReader reader(message.subspan(2));
        std::vector<std::int32_t> winners;
        host::readBatchAnswer(reader, data[0] * 5u, data[1], winners);
    }
    return 0;
}
