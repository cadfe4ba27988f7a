#include "imaging/decoder_registry.h"

#include "imaging/in_process_calls.h"
#include "platform/program_path.h"
#include "platform/wildcard.h"
#include "settings/settings_store.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

// Construction, settings, the scan of the plug-in folder, plug-in sets and
// the lists of names and patterns. The calls into decoders are in
// registry_calls.cpp.
namespace vemra {

namespace {

constexpr const char* kSection = "SPI";

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string setSection(const std::string& name) {
    std::string section = "SPISET\\";
    section += name.empty() ? "_Default" : name;
    return section;
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The status line shown when plug-ins have to run inside the program: names
// the helper, why it could not be used, and what that means for the user.
std::string hostUnavailableText(const std::string& reason) {
    return "[vemra-spi-host]:" + reason + "。プラグインはプログラムの中で動きます";
}

} // namespace

DecoderRegistry::DecoderRegistry(SettingsStore& settings) : m_store(settings) {
    for (const BuiltinDecoder& d : builtinDecoders()) {
        m_switches.emplace_back(d.id, d.onByDefault);
    }
    readSettings();
}

DecoderRegistry::~DecoderRegistry() {
    if (m_writeBack) {
        writeSettings();
        saveSet(m_settings.setName);
    }
    // Plug-ins still referenced by view lists are released last.
    for (auto* list : {&m_archives, &m_pictures}) {
        for (auto& p : *list) {
            p->references = 0;
            unloadGuarded(*p);
        }
    }
    // The hosts end with their calls object, after every plug-in is let go.
    m_pictures.clear();
    m_archives.clear();
    m_host = nullptr;
    m_calls.reset();
}

void DecoderRegistry::readSettings() {
    SettingsStore& s = m_store;
    m_settings.macbinCheck = s.getInt(kSection, "#MacbinCheck", 0) != 0;
    m_settings.jpegFast = s.getInt(kSection, "#InnerJPEG_FAST", 0);
    m_settings.pluginExtensionOnly = s.getInt(kSection, "#PluginEXT", 0) != 0;
    m_settings.scanHeadJpeg = s.getInt(kSection, "#ScanHeadJPEG", 0);
    m_settings.dynamicLoading = s.getInt(kSection, "DynamicSPI", 0) != 0;
    m_settings.alert = s.getInt(kSection, "SpiAlert", 1) != 0;
    m_settings.outOfProcess = s.getInt(kSection, "OutOfProcess", 1) != 0;
    m_settings.skipErrJpeg = s.getText(kSection, "SkipErrJPEG", "");
    m_settings.pluginFolder = s.getText(kSection, "SPIDIR", "");
    m_settings.setName = s.getText(kSection, "SPISet", "");
    m_settings.textSize = s.getText(kSection, "TXTSize", "40,40");
    for (auto& [id, on] : m_switches) {
        const BuiltinDecoder* d = findBuiltinDecoder(id);
        on = s.getInt(kSection, d->switchName, d->onByDefault ? 1 : 0) != 0;
    }
}

void DecoderRegistry::writeSettings() {
    SettingsStore::Batch batch(m_store);
    SettingsStore& s = m_store;
    s.putInt(kSection, "#MacbinCheck", m_settings.macbinCheck ? 1 : 0);
    s.putInt(kSection, "#InnerJPEG_FAST", m_settings.jpegFast);
    s.putInt(kSection, "#PluginEXT", m_settings.pluginExtensionOnly ? 1 : 0);
    s.putInt(kSection, "DynamicSPI", m_settings.dynamicLoading ? 1 : 0);
    s.putInt(kSection, "SpiAlert", m_settings.alert ? 1 : 0);
    s.putInt(kSection, "OutOfProcess", m_settings.outOfProcess ? 1 : 0);
    s.putText(kSection, "SkipErrJPEG", m_settings.skipErrJpeg);
    s.putText(kSection, "SPIDIR", m_settings.pluginFolder);
    s.putText(kSection, "SPISet", m_settings.setName);
    s.putText(kSection, "TXTSize", m_settings.textSize);
    for (const auto& [id, on] : m_switches) {
        s.putInt(kSection, findBuiltinDecoder(id)->switchName, on ? 1 : 0);
    }
}

DecodeOptions DecoderRegistry::withPolicy(DecodeOptions options) const {
    options.jpegReductionShift = std::clamp(m_settings.jpegFast, 0, 3);
    options.textLayout = textLayoutFromSetting(m_settings.textSize);
    return options;
}

void DecoderRegistry::setStatusSink(std::function<void(const std::string&, int)> sink) {
    m_status = std::move(sink);
}
void DecoderRegistry::setFaultSink(std::function<void(const std::string&)> sink) {
    const std::lock_guard lock(m_sinkMutex);
    m_fault = std::move(sink);
}
void DecoderRegistry::setShiftHeld(std::function<bool()> query) {
    m_shiftHeld = std::move(query);
}

std::string DecoderRegistry::pluginFolder() const {
    std::string folder = m_settings.pluginFolder;
    const std::string token = "$(ExeDir)";
    if (const auto at = folder.find(token); at != std::string::npos) {
        folder.replace(at, token.size(), executableDir());
    }
    return folder;
}

void DecoderRegistry::reportFault(const FaultReport& report, const std::string& pluginFile) {
    const std::lock_guard lock(m_sinkMutex);
    if (m_settings.alert && m_fault) {
        std::string text = faultMessage(report);
        if (!pluginFile.empty()) {
            text += "\n[" + pluginFile + "]";
        }
        m_fault(text);
    }
}

bool DecoderRegistry::faulted(Plugin& plugin, const FaultReport& report) {
    // Threads (or hosts) that fault in the same plug-in at once report it
    // once; a plug-in that faulted is not asked again this session.
    if (!plugin.leftOut.exchange(true)) {
        reportFault(report, fileNameOf(plugin.module.path()));
    }
    return false;
}

bool DecoderRegistry::usable(const Plugin& plugin) const {
    return !plugin.leftOut && m_calls != nullptr && m_calls->isLoaded(plugin);
}

bool DecoderRegistry::isLeftOut(DecoderId id, DecoderKind kind) const {
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr && p->leftOut;
}

void DecoderRegistry::chooseCalls() {
    if (m_calls != nullptr) {
        return;
    }
    if (m_settings.outOfProcess) {
        PluginHostOptions options = m_hostOptions;
        if (options.program.empty()) {
            options.program = findPluginHost();
        }
        // No host is started here: the first plug-in call starts one, and a
        // run that asks no plug-in anything starts none.
        if (!options.program.empty()) {
            auto hosts = std::make_unique<PluginHostCalls>(std::move(options));
            m_host = hosts.get();
            m_calls = std::move(hosts);
            return;
        }
        // Without a host the plug-ins still work, as they always did, in the
        // program; the user learns why the protection is missing once the
        // scan has found plug-ins to run there.
        m_hostNotice = hostUnavailableText("見つかりません");
    }
    m_calls = std::make_unique<InProcessCalls>();
}

DecoderRegistry::ChangeScope::ChangeScope(DecoderRegistry& registry) : m_registry(registry) {
    if (m_registry.m_changeDepth++ == 0) {
        m_registry.m_use.lock();
    }
}

DecoderRegistry::ChangeScope::~ChangeScope() {
    if (--m_registry.m_changeDepth == 0) {
        m_registry.m_use.unlock();
    }
}

bool DecoderRegistry::loadGuarded(Plugin& plugin) {
    if (m_calls == nullptr || plugin.leftOut) {
        return false;
    }
    if (m_calls->isLoaded(plugin)) {
        return true;
    }
    std::string error;
    FaultReport report;
    switch (m_calls->load(plugin, error, report)) {
    case LoadOutcome::Loaded:
        return true;
    case LoadOutcome::Faulted:
        return faulted(plugin, report);
    case LoadOutcome::Failed:
        break;
    }
    return false;
}

void DecoderRegistry::unloadGuarded(Plugin& plugin) {
    if (m_calls == nullptr || !m_calls->isLoaded(plugin) || plugin.references > 0) {
        return;
    }
    m_calls->unload(plugin);
}

void DecoderRegistry::loadPluginFile(const std::string& path, bool shiftHeld) {
    auto plugin = std::make_unique<Plugin>(path);
    const std::string bare = plugin->module.name();
    const std::string withExtension = fileNameOf(path);
    const auto status = [this](const std::string& text, int flag) {
        if (m_status) {
            m_status(text, flag);
        }
    };
    std::string error;
    FaultReport report;
    switch (m_calls->load(*plugin, error, report)) {
    case LoadOutcome::Loaded:
        break;
    case LoadOutcome::Failed:
        status("[" + bare + "]:" + error, -1);
        return;
    case LoadOutcome::Faulted:
        reportFault(report, withExtension);
        if (std::string_view(report.operation) == "LoadDLL") {
            status("[" + bare + "]のロードに失敗しました（SPI内部で例外発生）", -1);
        }
        return;
    }
    status("[" + bare + "]を調査しています", 0);
    Plugin* added = plugin.get();
    switch (plugin->module.kind()) {
    case PluginKind::Picture:
        plugin->id = static_cast<DecoderId>(m_pictures.size());
        {
            const std::lock_guard lock(m_orderMutex);
            m_pictureOrder.push_back(plugin->id);
        }
        m_pictures.push_back(std::move(plugin));
        break;
    case PluginKind::Archive:
        plugin->id = static_cast<DecoderId>(m_archives.size());
        plugin->flags |= kPluginRetrySpent;
        {
            const std::lock_guard lock(m_orderMutex);
            m_archiveOrder.push_back(plugin->id);
        }
        m_archives.push_back(std::move(plugin));
        break;
    case PluginKind::Other:
        status("[" + withExtension + "]未定義のSPI(00IN,00AM以外のSPI)", -1);
        unloadGuarded(*plugin);
        return;
    }
    if (shiftHeld) {
        unloadGuarded(*added);
    } else if (m_settings.dynamicLoading) {
        const int word =
            m_store.getInt(setSection(m_settings.setName), upper(added->module.name()), 0);
        if ((word & kPluginInUse) == 0) {
            unloadGuarded(*added);
        }
    }
}

void DecoderRegistry::scan(const std::string& folder, const std::string& setName) {
    const ChangeScope change(*this);
    m_settings.setName = setName;
    chooseCalls();
    const bool shiftHeld = m_shiftHeld ? m_shiftHeld() : false;
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (matchesWildcard(name, "*.spi") && entry.is_regular_file(error)) {
            // Absolute now: the current directory changes below.
            files.push_back(std::filesystem::absolute(entry.path(), error).string());
        }
    }
    // Load order follows the names, so positions are the same on every run.
    std::sort(files.begin(), files.end());
    // Plug-ins find the libraries they bring in their own folder. A host
    // changes its own folder while it loads one; the program's stays, since
    // a host started now inherits it and resolves relative names by it.
    const auto previous = std::filesystem::current_path(error);
    if (m_host == nullptr) {
        std::filesystem::current_path(folder, error);
    }
    for (const std::string& path : files) {
        loadPluginFile(path, shiftHeld);
    }
    if (m_host == nullptr && !previous.empty()) {
        std::filesystem::current_path(previous, error);
    }
    loadSet(setName);
    if (m_host != nullptr) {
        m_host->saveInformation();
    }
    // Last, so that the scan's own lines do not cover it in a status line.
    if (!m_hostNotice.empty() && !files.empty() && m_status) {
        m_status(m_hostNotice, -1);
    }
}

void DecoderRegistry::start() {
    scan(pluginFolder().empty() ? std::string(".") : pluginFolder(), m_settings.setName);
}

void DecoderRegistry::loadSet(const std::string& name) {
    const ChangeScope change(*this);
    m_settings.setName = name;
    const std::string section = setSection(name);
    // A set that was never saved (the first run) uses every plug-in, so the
    // plug-ins that come with the program work from the start; in a saved
    // set, a plug-in without an entry stays out of use.
    const int fallback = m_store.keyNames(section).empty() ? kPluginInUse : 0;
    for (auto& p : m_pictures) {
        p->flags = static_cast<std::uint16_t>(m_store.getInt(section, p->module.name(), fallback));
        p->references = 0;
    }
    for (auto& a : m_archives) {
        a->flags = static_cast<std::uint16_t>(m_store.getInt(section, a->module.name(), fallback));
        a->viewList.clear();
        const std::string sub = section + "\\" + a->module.name();
        const std::string names = m_store.getText(sub, "ViewSPI", "");
        std::size_t start = 0;
        while (start <= names.size()) {
            const auto comma = names.find(',', start);
            const std::string one =
                names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            const DecoderId id = find(one, DecoderKind::Picture);
            if (id >= 0) {
                addToViewList(a->id, id);
            }
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
        a->allUseFlags = m_store.getInt(sub, "AllUseFlags", 0);
    }
}

void DecoderRegistry::saveSet(const std::string& name) {
    SettingsStore::Batch batch(m_store);
    const std::string section = setSection(name);
    for (const auto& p : m_pictures) {
        m_store.putInt(section, p->module.name(), p->flags.load());
    }
    for (const auto& a : m_archives) {
        m_store.putInt(section, a->module.name(), a->flags.load());
        std::string names;
        for (const DecoderId id : a->viewList) {
            if (!names.empty()) {
                names += ',';
            }
            names += m_pictures[static_cast<std::size_t>(id)]->module.name();
        }
        const std::string sub = section + "\\" + a->module.name();
        m_store.putText(sub, "ViewSPI", names);
        m_store.putInt(sub, "AllUseFlags", a->allUseFlags);
    }
}

std::vector<std::string> DecoderRegistry::setNames() const {
    std::vector<std::string> names;
    for (const std::string& section : m_store.sectionNames()) {
        if (section.size() > 7 && upper(section.substr(0, 7)) == "SPISET\\" &&
            section.find('\\', 7) == std::string::npos) {
            names.push_back(section.substr(7));
        }
    }
    return names;
}

void DecoderRegistry::addToViewList(DecoderId archive, DecoderId picture) {
    const ChangeScope change(*this);
    Plugin* a = pluginAt(archive, DecoderKind::Archive);
    Plugin* p = pluginAt(picture, DecoderKind::Picture);
    if (a == nullptr || p == nullptr ||
        std::find(a->viewList.begin(), a->viewList.end(), picture) != a->viewList.end()) {
        return;
    }
    a->viewList.push_back(picture);
    ++p->references;
}

void DecoderRegistry::removeFromViewList(DecoderId archive, const std::string& pictureName) {
    const ChangeScope change(*this);
    Plugin* a = pluginAt(archive, DecoderKind::Archive);
    const DecoderId picture = find(pictureName, DecoderKind::Picture);
    if (a == nullptr || picture < 0) {
        return;
    }
    const auto it = std::find(a->viewList.begin(), a->viewList.end(), picture);
    if (it != a->viewList.end()) {
        a->viewList.erase(it);
        --m_pictures[static_cast<std::size_t>(picture)]->references;
    }
}

void DecoderRegistry::clearViewList(DecoderId archive) {
    const ChangeScope change(*this);
    Plugin* a = pluginAt(archive, DecoderKind::Archive);
    if (a == nullptr) {
        return;
    }
    for (const DecoderId id : a->viewList) {
        --m_pictures[static_cast<std::size_t>(id)]->references;
    }
    a->viewList.clear();
}

std::vector<DecoderId> DecoderRegistry::viewList(DecoderId archive) const {
    const Plugin* a = pluginAt(archive, DecoderKind::Archive);
    return a != nullptr ? a->viewList : std::vector<DecoderId>{};
}

int DecoderRegistry::allUseFlags(DecoderId archive) const {
    const Plugin* a = pluginAt(archive, DecoderKind::Archive);
    return a != nullptr ? a->allUseFlags : 0;
}

void DecoderRegistry::setAllUseFlags(DecoderId archive, int value) {
    const ChangeScope change(*this);
    if (Plugin* a = pluginAt(archive, DecoderKind::Archive)) {
        a->allUseFlags = value;
    }
}

int DecoderRegistry::referenceCount(DecoderId picture) const {
    const Plugin* p = pluginAt(picture, DecoderKind::Picture);
    return p != nullptr ? p->references : 0;
}

void DecoderRegistry::applyDynamicLoading() {
    const ChangeScope change(*this);
    if (!m_settings.dynamicLoading) {
        return;
    }
    for (auto& p : m_pictures) {
        if ((p->flags & kPluginInUse) != 0) {
            loadGuarded(*p);
        } else {
            unloadGuarded(*p);
        }
    }
    for (auto& a : m_archives) {
        if ((a->flags & kPluginInUse) != 0) {
            loadGuarded(*a);
            for (const DecoderId id : a->viewList) {
                loadGuarded(*m_pictures[static_cast<std::size_t>(id)]);
            }
        } else {
            unloadGuarded(*a);
            for (const DecoderId id : a->viewList) {
                Plugin& p = *m_pictures[static_cast<std::size_t>(id)];
                if ((p.flags & kPluginInUse) == 0) {
                    // A plug-in that a view list holds stays loaded.
                    unloadGuarded(p);
                }
            }
        }
    }
}

DecoderRegistry::Plugin* DecoderRegistry::pluginAt(DecoderId id, DecoderKind kind) {
    auto& list = kind == DecoderKind::Picture ? m_pictures : m_archives;
    return id >= 0 && static_cast<std::size_t>(id) < list.size()
               ? list[static_cast<std::size_t>(id)].get()
               : nullptr;
}

const DecoderRegistry::Plugin* DecoderRegistry::pluginAt(DecoderId id, DecoderKind kind) const {
    return const_cast<DecoderRegistry*>(this)->pluginAt(id, kind);
}

const PluginModule* DecoderRegistry::plugin(DecoderId id, DecoderKind kind) const {
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr ? &p->module : nullptr;
}

bool DecoderRegistry::builtinOn(DecoderId id) const {
    for (const auto& [sid, on] : m_switches) {
        if (sid == id) {
            return on;
        }
    }
    return false;
}

std::uint16_t DecoderRegistry::flags(DecoderId id, DecoderKind kind) const {
    if (kind == DecoderKind::Picture && findBuiltinDecoder(id) != nullptr) {
        return builtinOn(id) ? kPluginInUse : 0;
    }
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr ? p->flags.load() : std::uint16_t{0};
}

void DecoderRegistry::setFlags(DecoderId id, DecoderKind kind, std::uint16_t value) {
    const ChangeScope change(*this);
    if (kind == DecoderKind::Picture && findBuiltinDecoder(id) != nullptr) {
        setInUse(id, kind, (value & kPluginInUse) != 0);
    } else if (Plugin* p = pluginAt(id, kind)) {
        p->flags = value;
    }
}

bool DecoderRegistry::inUse(DecoderId id, DecoderKind kind) const {
    return (flags(id, kind) & kPluginInUse) != 0;
}

void DecoderRegistry::setInUse(DecoderId id, DecoderKind kind, bool use) {
    const ChangeScope change(*this);
    if (kind == DecoderKind::Picture && findBuiltinDecoder(id) != nullptr) {
        for (auto& [sid, on] : m_switches) {
            if (sid == id) {
                on = use;
            }
        }
    } else if (Plugin* p = pluginAt(id, kind)) {
        if (use) {
            p->flags |= kPluginInUse;
        } else {
            p->flags &= static_cast<std::uint16_t>(~kPluginInUse);
        }
    }
}

std::string DecoderRegistry::name(DecoderId id, DecoderKind kind) const {
    if (kind == DecoderKind::Picture) {
        if (const BuiltinDecoder* d = findBuiltinDecoder(id)) {
            return std::string(d->label);
        }
    }
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr ? p->module.name() : std::string();
}

std::string DecoderRegistry::extensionList(DecoderId id, DecoderKind kind) const {
    if (kind == DecoderKind::Picture) {
        if (const BuiltinDecoder* d = findBuiltinDecoder(id)) {
            return std::string(d->extensions);
        }
    }
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr ? p->module.extensionList() : std::string();
}

DecoderId DecoderRegistry::find(std::string_view wanted, DecoderKind kind) const {
    const auto& list = kind == DecoderKind::Picture ? m_pictures : m_archives;
    for (const auto& p : list) {
        if (upper(p->module.name()) == upper(std::string(wanted))) {
            return p->id;
        }
    }
    if (kind == DecoderKind::Picture) {
        if (const BuiltinDecoder* d = findBuiltinDecoder(wanted)) {
            return d->id;
        }
    }
    return kNoDecoder;
}

int DecoderRegistry::count(DecoderKind kind) const {
    return static_cast<int>(kind == DecoderKind::Picture ? m_pictures.size() : m_archives.size());
}

bool DecoderRegistry::isLoaded(DecoderId id, DecoderKind kind) const {
    if (kind == DecoderKind::Picture && findBuiltinDecoder(id) != nullptr) {
        return true;
    }
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr && usable(*p);
}

namespace {

void appendPatterns(std::string& out, const std::string& patterns) {
    if (patterns.empty()) {
        return;
    }
    if (!out.empty()) {
        out += ';';
    }
    out += patterns;
}

// The built-ins in the order their patterns are listed.
constexpr DecoderId kPatternOrder[] = {kBmpDecoderId,  kJpegDecoderId, kGifDecoderId,
                                       kGif2DecoderId, kTiffDecoderId, kTextDecoderId,
                                       kAviDecoderId,  kMpegDecoderId, kPngDecoderId};

} // namespace

std::string DecoderRegistry::patternList() const {
    std::string out;
    for (const auto* list : {&m_pictures, &m_archives}) {
        for (const auto& p : *list) {
            if ((p->flags & kPluginInUse) != 0) {
                appendPatterns(out, p->module.extensionList());
            }
        }
    }
    for (const DecoderId id : kPatternOrder) {
        if (builtinOn(id)) {
            appendPatterns(out, std::string(findBuiltinDecoder(id)->extensions));
        }
    }
    return out;
}

std::string DecoderRegistry::patternList(DecoderId archive) const {
    std::string out;
    for (const DecoderId id : viewList(archive)) {
        appendPatterns(out, m_pictures[static_cast<std::size_t>(id)]->module.extensionList());
    }
    for (const DecoderId id : kPatternOrder) {
        if (builtinOn(id)) {
            appendPatterns(out, std::string(findBuiltinDecoder(id)->extensions));
        }
    }
    return out;
}

std::vector<std::string> DecoderRegistry::listFolder(const std::string& folder) const {
    std::string patterns;
    for (const auto* list : {&m_pictures, &m_archives}) {
        for (const auto& p : *list) {
            if ((p->flags & kPluginInUse) != 0) {
                appendPatterns(patterns, p->module.extensionList());
            }
        }
    }
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && matchesWildcardList(name, patterns) &&
            std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool DecoderRegistry::folderHasPictures(const std::string& folder) const {
    return !listFolder(folder).empty();
}

ProgressCallback DecoderRegistry::setDefaultProgress(ProgressCallback callback) {
    return m_defaultProgress.exchange(callback);
}

} // namespace vemra
