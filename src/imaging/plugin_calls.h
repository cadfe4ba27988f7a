#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/plugin_module.h"
#include "imaging/result_code.h"
#include "imaging/spi_block.h"
#include "platform/fault_guard.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace vemra {

// One plug-in as its calls need it: the module with its information (in
// process also its loaded library) and what the calls keep per plug-in.
struct PluginSlot {
    explicit PluginSlot(std::string path) : module(std::move(path)) {}

    PluginModule module;
    // In process: one call into the module at a time. Plug-ins are written
    // for a single thread and keep state between and during calls.
    std::mutex calls;
    // In a host: known and loadable (each host loads it on first use).
    std::atomic<bool> hostLoaded = false;
};

enum class LoadOutcome { Loaded, Failed, Faulted };

// How the registry reaches plug-in code: in a plug-in host process, or in
// the program itself. Every call answers true when the plug-in answered
// (with the plug-in's own code in `code`) and false when it faulted, with
// `fault` telling how (its operation is the guarded operation's name).
// Calls may come from several threads at once.
class PluginCalls {
public:
    virtual ~PluginCalls() = default;

    // Loads the plug-in and reads its information ("LoadDLL", "SetInstance").
    // Failed is a library the loader refused (`error` says why).
    virtual LoadOutcome load(PluginSlot& slot, std::string& error, FaultReport& fault) = 0;
    virtual void unload(PluginSlot& slot) = 0;
    virtual bool isLoaded(const PluginSlot& slot) const = 0;

    virtual bool isSupported(PluginSlot& slot, const std::string& fileName,
                             std::span<const std::byte> header, bool& takes,
                             FaultReport& fault) = 0;
    // Asks the plug-ins `asked` in turn whether they take the file, up to the first that
    // does: its index in `winner`, -1 when none does. When one faults,
    // `faultedAt` is its index. One question at a time by default; a host
    // answers them all in one exchange.
    virtual bool firstSupporting(std::span<PluginSlot* const> asked, const std::string& fileName,
                                 std::span<const std::byte> header, int& winner, int& faultedAt,
                                 FaultReport& fault) {
        winner = -1;
        for (std::size_t i = 0; i < asked.size(); ++i) {
            bool takes = false;
            if (!isSupported(*asked[i], fileName, header, takes, fault)) {
                faultedAt = static_cast<int>(i);
                return false;
            }
            if (takes) {
                winner = static_cast<int>(i);
                return true;
            }
        }
        return true;
    }
    virtual bool pictureInfo(PluginSlot& slot, const PluginSource& source, PluginPictureInfo& out,
                             ResultCode& code, FaultReport& fault) = 0;
    // GetPicture and the merge of its two blocks into `out`.
    virtual bool picture(PluginSlot& slot, const PluginSource& source, PictureBuffer& out,
                         ProgressCallback progress, intptr_t userData, ResultCode& code,
                         FaultReport& fault) = 0;
    virtual bool archiveInfo(PluginSlot& slot, const PluginSource& source,
                             std::vector<ArchiveEntry>& out, bool& gotList, ResultCode& code,
                             FaultReport& fault) = 0;
    virtual bool fileToMemory(PluginSlot& slot, const std::string& archivePath,
                              std::uint32_t position, SpiBlock& out, ProgressCallback progress,
                              intptr_t userData, ResultCode& code, FaultReport& fault) = 0;
    virtual bool fileToFolder(PluginSlot& slot, const std::string& archivePath,
                              std::uint32_t position, const std::string& folder,
                              ProgressCallback progress, intptr_t userData, ResultCode& code,
                              FaultReport& fault) = 0;
    virtual bool configurationDialog(PluginSlot& slot, void* parent, int function, int& result,
                                     FaultReport& fault) = 0;
};

} // namespace vemra
