#include "imaging/in_process_calls.h"

namespace vemra {
namespace {

// Runs `call` into the slot's module inside the fault guard, one call per
// module at a time.
template <class Call>
bool guarded(PluginSlot& slot, const char* operation, FaultReport& fault, Call&& call) {
    const std::lock_guard lock(slot.calls);
    return runGuarded(operation, call, fault);
}

} // namespace

LoadOutcome InProcessCalls::load(PluginSlot& slot, std::string& error, FaultReport& fault) {
    // Not guarded: a fault in a constructor leaves the loader's lock held,
    // and the next dlopen of any thread would wait for ever.
    if (!slot.module.loadLibrary(&error)) {
        return LoadOutcome::Failed;
    }
    if (!guarded(slot, "SetInstance", fault, [&] {
            slot.module.lookUpExports();
            slot.module.readInformation();
        })) {
        unload(slot);
        return LoadOutcome::Faulted;
    }
    return LoadOutcome::Loaded;
}

void InProcessCalls::unload(PluginSlot& slot) {
    // Not guarded either: destructors run under the loader's lock.
    const std::lock_guard lock(slot.calls);
    slot.module.unload();
}

bool InProcessCalls::isSupported(PluginSlot& slot, const std::string& fileName,
                                 std::span<const std::byte> header, bool& takes,
                                 FaultReport& fault) {
    return guarded(slot, "IsSupportedSub", fault,
                   [&] { takes = slot.module.isSupported(fileName, header); });
}

bool InProcessCalls::pictureInfo(PluginSlot& slot, const PluginSource& source,
                                 PluginPictureInfo& out, ResultCode& code, FaultReport& fault) {
    return guarded(slot, "GetPictureInfo", fault,
                   [&] { code = slot.module.pictureInfo(source, out); });
}

bool InProcessCalls::picture(PluginSlot& slot, const PluginSource& source, PictureBuffer& out,
                             ProgressCallback progress, intptr_t userData, ResultCode& code,
                             FaultReport& fault) {
    SpiBlock info;
    SpiBlock pixels;
    if (!guarded(slot, "GetPicture", fault, [&] {
            code = slot.module.pictureBlocks(source, info, pixels, progress, userData);
        })) {
        return false;
    }
    if (code != ResultCode::Success) {
        return true;
    }
    PictureBuffer merged;
    if (!runGuarded(
            "AppendHandle", [&] { merged = mergePictureBlocks(info, pixels); }, fault)) {
        return false;
    }
    if (!merged) {
        code = ResultCode::InvalidData;
        return true;
    }
    out = std::move(merged);
    return true;
}

bool InProcessCalls::archiveInfo(PluginSlot& slot, const PluginSource& source,
                                 std::vector<ArchiveEntry>& out, bool& gotList, ResultCode& code,
                                 FaultReport& fault) {
    return guarded(slot, "GetArchiveInfo", fault,
                   [&] { code = slot.module.archiveInfo(source, out, &gotList); });
}

bool InProcessCalls::fileToMemory(PluginSlot& slot, const std::string& archivePath,
                                  std::uint32_t position, SpiBlock& out, ProgressCallback progress,
                                  intptr_t userData, ResultCode& code, FaultReport& fault) {
    const PluginSource source = PluginSource::file(archivePath);
    return guarded(slot, "GetFile", fault, [&] {
        code = slot.module.fileToMemory(source, position, out, progress, userData);
    });
}

bool InProcessCalls::fileToFolder(PluginSlot& slot, const std::string& archivePath,
                                  std::uint32_t position, const std::string& folder,
                                  ProgressCallback progress, intptr_t userData, ResultCode& code,
                                  FaultReport& fault) {
    const PluginSource source = PluginSource::file(archivePath);
    return guarded(slot, "GetFile", fault, [&] {
        code = slot.module.fileToFolder(source, position, folder, progress, userData);
    });
}

bool InProcessCalls::configurationDialog(PluginSlot& slot, void* parent, int function, int& result,
                                         FaultReport& fault) {
    return guarded(slot, "ConfigurationDlg", fault,
                   [&] { result = slot.module.configurationDialog(parent, function); });
}

} // namespace vemra
