#pragma once

#include "imaging/host_identify_batch.h"
#include "imaging/host_process.h"
#include "imaging/plugin_calls.h"
#include "imaging/plugin_info_cache.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vemra {

// How long a host may take over one call before it is taken for hung and
// replaced. A progress report from the plug-in starts the time again, so a
// long decode that reports progress is never cut off.
struct HostTimeLimits {
    std::chrono::milliseconds identify{10'000};
    std::chrono::milliseconds info{30'000};
    std::chrono::milliseconds picture{120'000};
    std::chrono::milliseconds archiveList{60'000};
    std::chrono::milliseconds file{120'000};
    std::chrono::milliseconds dialog{600'000};
    std::chrono::milliseconds load{30'000};

    // The limits above, or every one set to VEMRA_SPI_TIME_LIMIT_MS when
    // that variable holds a positive number (tests, slow machines).
    static HostTimeLimits fromEnvironment();
};

struct PluginHostOptions {
    std::string program; // the vemra-spi-host to run
    HostTimeLimits limits = HostTimeLimits::fromEnvironment();
    // Hosts running at once at most; calls beyond wait for a free one.
    int maxHosts = 4;
    // A host holding more memory than this (a plug-in that leaks) is
    // replaced between calls.
    std::uint64_t maxResidentBytes = std::uint64_t{1} << 30;
    // Where the plug-ins' information is kept between runs, so that loading
    // a known plug-in starts no host; empty keeps nothing.
    std::string informationCache = PluginInfoCache::defaultFile();
};

// The vemra-spi-host the program runs: VEMRA_SPI_HOST when set, else beside
// the program, else in the installation's helper folder, else at the top of
// the build tree (where tools and tests two folders down find it). Empty
// when none is there.
std::string findPluginHost();

// Plug-ins run in vemra-spi-host processes: a plug-in that crashes, aborts,
// corrupts its heap or hangs takes only its host down, which is replaced.
// No host runs before a plug-in is first asked something: plug-ins whose
// information is known from an earlier run load without one. Hosts are
// started as calls need them, up to maxHosts, so worker threads
// use plug-ins in parallel; each host has its own copy of every plug-in's
// state and answers one call at a time. Everything a host sends is checked:
// sizes are capped, messages validated, every wait bounded.
class PluginHostCalls final : public PluginCalls {
public:
    explicit PluginHostCalls(PluginHostOptions options);
    ~PluginHostCalls() override;
    PluginHostCalls(const PluginHostCalls&) = delete;
    PluginHostCalls& operator=(const PluginHostCalls&) = delete;

    // The hosts started so far (replacements included).
    int hostsStarted() const;
    // Writes what was learnt about plug-ins for the next run.
    void saveInformation() { m_information.save(); }
    const std::string& program() const { return m_options.program; }

    LoadOutcome load(PluginSlot& slot, std::string& error, FaultReport& fault) override;
    void unload(PluginSlot& slot) override;
    bool isLoaded(const PluginSlot& slot) const override { return slot.hostLoaded.load(); }
    bool isSupported(PluginSlot& slot, const std::string& fileName,
                     std::span<const std::byte> header, bool& takes, FaultReport& fault) override;
    bool firstSupporting(std::span<PluginSlot* const> asked, const std::string& fileName,
                         std::span<const std::byte> header, int& winner, int& faultedAt,
                         FaultReport& fault) override;
    // Asks about many files in one exchange (host_identify_batch.h):
    // `winners` gets, per file, the index into `plugins` of the one that
    // took it, or -1. False when the host did not answer the whole batch (a
    // plug-in faulted or hung, or the host ended): nothing is known then,
    // and the caller asks one file at a time, which finds the fault and
    // reports it as it always did.
    bool identifyBatch(std::span<PluginSlot* const> plugins, bool moveToFront,
                       std::span<const host::BatchQuestion> files,
                       std::vector<std::int32_t>& winners);
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

private:
    enum class Outcome { Answered, Faulted, Unavailable };
    struct Reply {
        std::vector<std::byte> message;
        host::UniqueFd fd;
    };
    struct Call {
        const char* operation;
        std::span<const std::byte> request;
        int fd = -1; // sent beside the request
        std::chrono::milliseconds limit;
        ProgressCallback progress = nullptr;
        intptr_t userData = 0;
        // Runs on the answer while the host is still held; false when the
        // host misbehaved and must go.
        std::function<bool(host::HostProcess&, Reply&)> finish = {};
    };

    // Sends `call` to a free host and waits for its answer, passing progress
    // on. `faultedAt` is the index of the plug-in that faulted, for requests
    // that ask several.
    Outcome exchange(const Call& call, Reply& reply, FaultReport& fault);
    Outcome exchange(const Call& call, Reply& reply, FaultReport& fault, std::uint32_t& faultedAt);
    Outcome converse(host::HostProcess& host, const Call& call, Reply& reply, FaultReport& fault,
                     std::uint32_t& faultedAt);
    // Reads a picture the host left for reading in place; false when the
    // host lied about it.
    bool readPictureInPlace(host::HostProcess& host, Reply& reply, PictureBuffer& out,
                            ResultCode& code);
    std::unique_ptr<host::HostProcess> acquire();
    void release(std::unique_ptr<host::HostProcess> host);
    void retire();

    PluginHostOptions m_options;
    PluginInfoCache m_information;
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    std::vector<std::unique_ptr<host::HostProcess>> m_idle;
    int m_running = 0; // idle and lent out
    int m_started = 0;
    // Pictures are read straight out of the host's memory until the system
    // refuses that (ptrace restrictions); then they come in memfds.
    std::atomic<bool> m_inPlace = true;
};

} // namespace vemra
