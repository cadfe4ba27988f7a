#pragma once

#include "imaging/plugin_calls.h"

namespace vemra {

// Plug-ins loaded into the program itself, each call inside the fault guard
// and one call per module at a time.
//
// What this survives: a plug-in that reads or writes a wild address, divides
// by zero, runs an illegal instruction or overflows its stack; the call is
// abandoned where it was. What it cannot survive, and so does not try to: a
// plug-in whose heap corruption glibc finds (it aborts; the heap the program
// shares with the plug-in is corrupted), abort() itself, a fault inside
// loading or unloading (constructors and destructors run under the loader's
// lock), a plug-in that never returns. These end or hang the program; the
// plug-in host (PluginHostCalls) is the answer to them.
class InProcessCalls final : public PluginCalls {
public:
    LoadOutcome load(PluginSlot& slot, std::string& error, FaultReport& fault) override;
    void unload(PluginSlot& slot) override;
    bool isLoaded(const PluginSlot& slot) const override { return slot.module.isLoaded(); }
    bool isSupported(PluginSlot& slot, const std::string& fileName,
                     std::span<const std::byte> header, bool& takes, FaultReport& fault) override;
    bool pictureInfo(PluginSlot& slot, const PluginSource& source, PluginPictureInfo& out,
                     ResultCode& code, FaultReport& fault) override;
    bool picture(PluginSlot& slot, const PluginSource& source, PictureBuffer& out,
                 ProgressCallback progress, intptr_t userData, ResultCode& code,
                 FaultReport& fault) override;
    bool archiveInfo(PluginSlot& slot, const PluginSource& source, std::vector<ArchiveEntry>& out,
                     bool& gotList, ResultCode& code, FaultReport& fault) override;
    bool fileToMemory(PluginSlot& slot, const std::string& archivePath, std::uint32_t position,
                      SpiBlock& out, ProgressCallback progress, intptr_t userData, ResultCode& code,
                      FaultReport& fault) override;
    bool fileToFolder(PluginSlot& slot, const std::string& archivePath, std::uint32_t position,
                      const std::string& folder, ProgressCallback progress, intptr_t userData,
                      ResultCode& code, FaultReport& fault) override;
    bool configurationDialog(PluginSlot& slot, void* parent, int function, int& result,
                             FaultReport& fault) override;
};

} // namespace vemra
