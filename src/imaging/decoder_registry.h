#pragma once

#include "imaging/decoder.h"
#include "imaging/picture_buffer.h"
#include "imaging/plugin_calls.h"
#include "imaging/plugin_host_calls.h"
#include "imaging/plugin_module.h"
#include "imaging/spi_block.h"
#include "platform/fault_guard.h"

#include <vemra/spi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemra {

class SettingsStore;

enum class DecoderKind { Picture = 0, Archive = 1 };

// Flag-word bits of a plug-in.
inline constexpr std::uint16_t kPluginInUse = 0x0001;
inline constexpr std::uint16_t kPluginRetrySpent = 0x0004;

// What identify answers when a plug-in faulted: the search ends there.
inline constexpr DecoderId kIdentifyFault = -999;

// The settings of section "SPI".
struct RegistrySettings {
    bool macbinCheck = false;         // "#MacbinCheck"
    int jpegFast = 0;                 // "#InnerJPEG_FAST"
    bool pluginExtensionOnly = false; // "#PluginEXT"
    int scanHeadJpeg = 0;             // "#ScanHeadJPEG", read only
    bool dynamicLoading = false;      // "DynamicSPI"
    bool alert = true;                // "SpiAlert"
    bool outOfProcess = true;         // "OutOfProcess": plug-ins run in vemra-spi-host
    std::string skipErrJpeg;          // "SkipErrJPEG", kept as read
    std::string pluginFolder;         // "SPIDIR"
    std::string setName;              // "SPISet"
    std::string textSize = "40,40";   // "TXTSize"
};

// One identification request.
struct IdentifyRequest {
    std::string fileName;
    DecoderKind kind = DecoderKind::Picture;
    DecoderId first = 0;    // the first decoder to ask
    DecoderId archive = -1; // the archive plug-in the data came from, -1 for a file
    // Called before each plug-in is asked (position, name, header) and once
    // at the end with the winner's position and name.
    std::function<void(int, const std::string&, std::span<const std::byte>)> notify;
    // The first bytes of the data; when empty and `fd` is -1 the registry
    // reads up to 2560 bytes of `fileName` itself.
    std::span<const std::byte> header;
    int fd = -1;             // an open file to read the header from instead
    std::int64_t offset = 0; // where the data begins in `fd` or the file
    bool forceExtensionMatch = false;
};

// The part of a picture entry that loading its picture reads and updates.
struct EntryDecoding {
    DecoderId decoder = kNoDecoder;
    DecoderId archive = kNoDecoder; // the archive plug-in of a member
    std::string path;               // the file, or the archive holding the member
    std::string name;               // file or member name, for identification
    std::uint32_t memberPosition = 0;
    int width = 0; // 0 until known
    int height = 0;
    int bitCount = 0;
    std::string comment;
};

// The one place through which every picture is identified, measured and
// decoded, and through which archives are listed and unpacked: the built-in
// decoders and the plug-ins of the plug-in folder, with their switches, the
// plug-in sets, the most-recently-successful order and the fault guard.
//
// Plug-ins run in plug-in host processes (vemra-spi-host) unless
// "OutOfProcess" is 0 or no host can be run; then in the program itself.
// Either way, a plug-in that faults fails its call with the failure value,
// is reported once ("SPI Exception", naming the plug-in and the fault) and
// is left out for the rest of the session; the settings are not changed.
//
// Decoding is safe from several threads at once: identification, info,
// picture and archive calls (and loadEntryPicture) may run on worker threads
// while the interface thread uses the registry too. Each plug-in module is
// called by one thread at a time, since plug-ins keep global state; built-in
// decoders keep theirs per call (in host processes, one call per host at a
// time, with several hosts at once). A worker holds sharedUse() for as long as it
// decodes: the changes of the plug-in list, the sets, the in-use flags and
// the view lists (interface thread only) wait for it. Settings are changed
// only while no worker decodes. The fault and status sinks may be called on
// a worker thread.
class DecoderRegistry {
public:
    // Reads section "SPI" of `settings`; writes it and the current set back on
    // destruction.
    explicit DecoderRegistry(SettingsStore& settings);
    ~DecoderRegistry();
    DecoderRegistry(const DecoderRegistry&) = delete;
    DecoderRegistry& operator=(const DecoderRegistry&) = delete;

    // Status lines of a scan: text and flag (0 progress, -1 a problem).
    void setStatusSink(std::function<void(const std::string&, int)> sink);
    // Shows a plug-in fault report ("SPI Exception") when SpiAlert is on.
    void setFaultSink(std::function<void(const std::string&)> sink);
    // Whether Shift is held, sampled once at the start of a scan.
    void setShiftHeld(std::function<bool()> query);
    // Whether the settings and the current set are written back on
    // destruction (on by default; batch tools that only read turn it off).
    void setWriteBack(bool writeBack) { m_writeBack = writeBack; }
    // Which host program to run and how long its calls may take; by default
    // findPluginHost() and the standard limits. Takes effect at the scan.
    void setHostOptions(PluginHostOptions options) { m_hostOptions = std::move(options); }
    // True when the plug-ins run in host processes (known after the scan).
    bool pluginsInHost() const { return m_host != nullptr; }
    // How many host processes were started so far, replacements included.
    int hostsStarted() const { return m_host != nullptr ? m_host->hostsStarted() : 0; }
    // Whether a plug-in faulted and is left out for the rest of the session.
    bool isLeftOut(DecoderId id, DecoderKind kind) const;

    RegistrySettings& settings() { return m_settings; }
    // `options` with the decoding policy of these settings ("#InnerJPEG_FAST",
    // "TXTSize"), as every call to a built-in decoder gets it.
    DecodeOptions withPolicy(DecodeOptions options) const;
    const RegistrySettings& settings() const { return m_settings; }
    // The plug-in folder from "SPIDIR" with "$(ExeDir)" expanded.
    std::string pluginFolder() const;

    // Loads every "*.spi" (any case) of `folder`, then loads `setName`.
    void scan(const std::string& folder, const std::string& setName);
    // The start-up sequence: scan SPIDIR with the set named by SPISet.
    void start();

    void loadSet(const std::string& name);
    void saveSet(const std::string& name);
    const std::string& currentSet() const { return m_settings.setName; }
    std::vector<std::string> setNames() const;
    void addToViewList(DecoderId archive, DecoderId picture);
    void removeFromViewList(DecoderId archive, const std::string& pictureName);
    void clearViewList(DecoderId archive);
    std::vector<DecoderId> viewList(DecoderId archive) const;
    int allUseFlags(DecoderId archive) const;
    void setAllUseFlags(DecoderId archive, int value);
    int referenceCount(DecoderId picture) const;
    // With DynamicSPI on, loads the plug-ins in use and unloads the rest
    // (never one still referenced by a view list).
    void applyDynamicLoading();

    DecoderId identify(const IdentifyRequest& request);
    // Identifies every request as identify() would, one after the other, and
    // answers the same, in order. With plug-ins in host processes, files are
    // asked about in batches of many per exchange; requests with a notify
    // callback are answered one at a time.
    std::vector<DecoderId> identifyFiles(std::span<const IdentifyRequest> requests);
    int info(DecoderId id, const PluginSource& source, PluginPictureInfo& out);
    int picture(DecoderId id, const PluginSource& source, PictureBuffer& out,
                const DecodeOptions& options = {});
    int archiveList(DecoderId archive, const PluginSource& source, std::vector<ArchiveEntry>& out);
    int archiveFileToMemory(DecoderId archive, const std::string& archivePath,
                            std::uint32_t position, SpiBlock& out,
                            ProgressCallback progress = nullptr, intptr_t userData = 0);
    int archiveFileToFolder(DecoderId archive, const std::string& archivePath,
                            std::uint32_t position, const std::string& folder,
                            ProgressCallback progress = nullptr, intptr_t userData = 0);
    bool hasConfigurationDialog(DecoderId id, DecoderKind kind) const;
    int configurationDialog(DecoderId id, DecoderKind kind, void* parent, int function);

    // Loads the picture of an entry: a member is extracted to memory first
    // (and identified from those bytes when its decoder is not known yet);
    // when its decoder fails, the next decoder that takes it is tried.
    int loadEntryPicture(EntryDecoding& entry, PictureBuffer& out, int requestedWidth = 0,
                         int requestedHeight = 0, ProgressCallback progress = nullptr,
                         intptr_t userData = 0);
    // Identifies an entry from the first decoder on, without decoding it.
    DecoderId identifyEntry(EntryDecoding& entry);

    std::uint16_t flags(DecoderId id, DecoderKind kind) const;
    void setFlags(DecoderId id, DecoderKind kind, std::uint16_t flags);
    bool inUse(DecoderId id, DecoderKind kind) const;
    void setInUse(DecoderId id, DecoderKind kind, bool use);
    std::string name(DecoderId id, DecoderKind kind) const;
    std::string extensionList(DecoderId id, DecoderKind kind) const;
    DecoderId find(std::string_view name, DecoderKind kind) const;
    int count(DecoderKind kind) const;
    bool isLoaded(DecoderId id, DecoderKind kind) const;
    const PluginModule* plugin(DecoderId id, DecoderKind kind) const;

    // The patterns of everything in use, plug-ins first, joined with ";".
    std::string patternList() const;
    // An archive's view list patterns followed by the built-ins in use.
    std::string patternList(DecoderId archive) const;
    // The names in `folder` that match the in-use plug-ins' patterns.
    std::vector<std::string> listFolder(const std::string& folder) const;
    bool folderHasPictures(const std::string& folder) const;

    // Held by a thread other than the interface thread while it decodes
    // through the registry, so that the plug-in list does not change under it.
    [[nodiscard]] std::shared_lock<std::shared_mutex> sharedUse() const {
        return std::shared_lock(m_use);
    }

    // The callback used by picture requests that bring none; returns the
    // previous one.
    ProgressCallback setDefaultProgress(ProgressCallback callback);

private:
    // A loaded (or known but unloaded) plug-in and what the registry keeps
    // about it.
    struct Plugin : PluginSlot {
        explicit Plugin(std::string path) : PluginSlot(std::move(path)) {}

        std::atomic<std::uint16_t> flags = 0;
        // Faulted once: asked nothing more this session.
        std::atomic<bool> leftOut = false;
        std::vector<DecoderId> viewList; // picture plug-ins of an archive plug-in
        int references = 0;              // view lists that hold this plug-in
        int allUseFlags = 0;
        DecoderId id = kNoDecoder;
    };

    Plugin* pluginAt(DecoderId id, DecoderKind kind);
    const Plugin* pluginAt(DecoderId id, DecoderKind kind) const;
    bool builtinOn(DecoderId id) const;
    void readSettings();
    void writeSettings();
    void loadPluginFile(const std::string& path, bool shiftHeld);
    bool loadGuarded(Plugin& plugin);
    void unloadGuarded(Plugin& plugin);
    void reportFault(const FaultReport& report, const std::string& pluginFile = {});
    // Reports the first fault of `plugin` and leaves it out; false, for
    // returning from the failed call.
    bool faulted(Plugin& plugin, const FaultReport& report);
    // Loaded, and not left out.
    bool usable(const Plugin& plugin) const;
    void chooseCalls();
    DecoderId identifyOnce(const IdentifyRequest& request, std::span<const std::byte> header);
    // The plug-ins identification may ask, in the order it asks them (before
    // the extension rule); `mostRecentOrder` when that order moves a plug-in
    // that takes a file to the front.
    std::vector<Plugin*> identifyCandidates(const IdentifyRequest& request, bool& mostRecentOrder);
    bool checksExtension(const IdentifyRequest& request) const;
    // A plug-in took a file: it is asked first next time.
    void tookFile(const Plugin& plugin, DecoderKind kind);
    // The built-in phase of identification, on the padded header.
    DecoderId identifyBuiltin(const IdentifyRequest& request, std::span<const std::byte> padded,
                              std::span<const std::byte> header);
    // With "#MacbinCheck", identification again past up to four 128-byte
    // MacBinary headers while `result` is no decoder.
    DecoderId macBinaryAttempts(const IdentifyRequest& request, std::span<const std::byte> header,
                                DecoderId result);
    // identifyFiles() for requests that ask the same plug-ins.
    void identifyGroup(std::span<const IdentifyRequest> requests, std::span<DecoderId> out);
    int callInfo(DecoderId id, const PluginSource& source, PluginPictureInfo& out);
    int callPicture(DecoderId id, const PluginSource& source, PictureBuffer& out,
                    const DecodeOptions& options);
    // DecodeOptions as every picture call gets them: the policy, and a
    // progress callback that is never null.
    DecodeOptions pictureOptions(const DecodeOptions& options) const;
    int callArchiveList(DecoderId id, const PluginSource& source, std::vector<ArchiveEntry>& out);
    template <class Call> int callGetFile(DecoderId archive, Call call);
    // Holds the plug-in list unchanged for workers while the interface thread
    // changes it; nested changes take the lock once.
    class ChangeScope {
    public:
        explicit ChangeScope(DecoderRegistry& registry);
        ~ChangeScope();
        ChangeScope(const ChangeScope&) = delete;
        ChangeScope& operator=(const ChangeScope&) = delete;

    private:
        DecoderRegistry& m_registry;
    };
    template <class Call>
    int withRetries(DecoderId id, DecoderKind kind, const PluginSource& source, Call call);

    SettingsStore& m_store;
    PluginHostOptions m_hostOptions;
    // Every call into plug-in code goes through here: the host processes, or
    // the program itself. Chosen at the scan.
    std::unique_ptr<PluginCalls> m_calls;
    PluginHostCalls* m_host = nullptr; // m_calls, when it is the hosts
    std::string m_hostNotice;          // why plug-ins run in the program
    RegistrySettings m_settings;
    std::vector<std::unique_ptr<Plugin>> m_pictures; // load order
    std::vector<std::unique_ptr<Plugin>> m_archives;
    std::vector<int> m_pictureOrder; // most recently successful first
    std::vector<int> m_archiveOrder;
    std::vector<std::pair<DecoderId, bool>> m_switches;
    std::function<void(const std::string&, int)> m_status;
    std::function<void(const std::string&)> m_fault;
    std::function<bool()> m_shiftHeld;
    std::atomic<ProgressCallback> m_defaultProgress = nullptr;
    bool m_writeBack = true;
    mutable std::shared_mutex m_use;
    int m_changeDepth = 0;   // interface thread only
    std::mutex m_orderMutex; // the two most-recently-successful orders
    std::mutex m_sinkMutex;  // one report at a time from any thread
};

} // namespace vemra
