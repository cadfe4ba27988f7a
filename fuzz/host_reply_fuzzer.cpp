// libFuzzer target: the program's readers of what the plug-in host sends.
// A host runs plug-in code, so its messages are as untrusted as a picture.

#include "imaging/host_protocol.h"

#include <cstdint>
#include <span>

using namespace vemra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> message(reinterpret_cast<const std::byte*>(data), size);
    {
        host::MessageReader reader(message);
        host::LoadedReply loaded;
        host::readLoaded(reader, loaded);
    }
    {
        host::MessageReader reader(message);
        FaultReport fault;
        host::FaultPhase phase{};
        std::uint32_t index = 0;
        if (host::readFault(reader, fault, phase, index)) {
            fault.operation = "GetPicture";
            (void)faultMessage(fault);
        }
    }
    {
        host::MessageReader reader(message);
        int code = 0;
        PluginPictureInfo info;
        host::readInfoAnswer(reader, code, info);
    }
    {
        host::MessageReader reader(message);
        int code = 0;
        std::uint64_t bytes = 0;
        host::readSizedAnswer(reader, code, bytes);
    }
    {
        host::MessageReader reader(message);
        int code = 0;
        host::readCodeAnswer(reader, code);
    }
    {
        host::MessageReader reader(message);
        int done = 0;
        int total = 0;
        host::readProgress(reader, done, total);
    }
    return 0;
}
