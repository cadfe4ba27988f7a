#include "imaging/decoder_registry.h"

#include "imaging/identify_header.h"
#include "platform/wildcard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

// Identification, info, picture and archive calls through the registry,
// each plug-in call inside the fault guard, with the MacBinary and one-time
// retries, and the loading of an entry's picture with decoder fallback.
namespace vemra {
namespace {

constexpr std::size_t kMacBinary = 128;
constexpr int kMacBinaryAttempts = 4;

int alwaysContinue(int, int, intptr_t) {
    return 0;
}

void moveToFront(std::vector<int>& order, int id) {
    const auto it = std::find(order.begin(), order.end(), id);
    if (it != order.end()) {
        std::rotate(order.begin(), it, it + 1);
    } else {
        order.insert(order.begin(), id);
    }
}

// The source moved past a 128-byte MacBinary header, or nullopt when no
// data would be left.
std::optional<PluginSource> skipMacBinary(const PluginSource& source, int times) {
    const auto skip = static_cast<intptr_t>(kMacBinary) * times;
    if (source.isMemory()) {
        if (source.number() <= skip) {
            return std::nullopt;
        }
        const auto* bytes = reinterpret_cast<const std::byte*>(source.buffer());
        return PluginSource::memory(
            std::span(bytes + skip, static_cast<std::size_t>(source.number() - skip)));
    }
    return PluginSource::file(source.path(), source.number() + skip);
}

} // namespace

DecoderId DecoderRegistry::identify(const IdentifyRequest& request) {
    std::vector<std::byte> read;
    std::span<const std::byte> header = request.header;
    if (header.empty()) {
        read = readIdentifyHeader(request.fileName, request.fd, request.offset);
        if (read.empty()) {
            return kNoDecoder;
        }
        header = read;
    }
    return macBinaryAttempts(request, header, identifyOnce(request, header));
}

DecoderId DecoderRegistry::macBinaryAttempts(const IdentifyRequest& request,
                                             std::span<const std::byte> header, DecoderId result) {
    for (int attempt = 1;
         result == kNoDecoder && m_settings.macbinCheck && attempt <= kMacBinaryAttempts;
         ++attempt) {
        const std::size_t skip = kMacBinary * static_cast<std::size_t>(attempt);
        if (header.size() <= skip) {
            break;
        }
        result = identifyOnce(request, header.subspan(skip));
    }
    return result;
}

std::vector<DecoderRegistry::Plugin*>
DecoderRegistry::identifyCandidates(const IdentifyRequest& request, bool& mostRecentOrder) {
    // Which plug-ins to ask, and whether bit 0 must be set.
    const bool archives = request.kind == DecoderKind::Archive;
    auto& list = archives ? m_archives : m_pictures;
    auto& order = archives ? m_archiveOrder : m_pictureOrder;
    std::vector<int> candidates;
    bool fromViewList = false;
    mostRecentOrder = false;
    const Plugin* source = pluginAt(request.archive, DecoderKind::Archive);
    if (!archives && source != nullptr && source->allUseFlags == 1) {
        fromViewList = true;
        for (const DecoderId id : source->viewList) {
            if (id >= request.first) {
                candidates.push_back(id);
            }
        }
    } else if (request.first == 0) {
        const std::lock_guard lock(m_orderMutex);
        candidates = order;
        mostRecentOrder = true;
    } else {
        for (int id = std::max(request.first, 0); id < static_cast<int>(list.size()); ++id) {
            candidates.push_back(id);
        }
    }
    std::vector<Plugin*> out;
    for (const int id : candidates) {
        Plugin& p = *list[static_cast<std::size_t>(id)];
        if ((!fromViewList && (p.flags & kPluginInUse) == 0) || !usable(p)) {
            continue;
        }
        out.push_back(&p);
    }
    return out;
}

bool DecoderRegistry::checksExtension(const IdentifyRequest& request) const {
    return request.forceExtensionMatch || m_settings.pluginExtensionOnly;
}

void DecoderRegistry::tookFile(const Plugin& plugin, DecoderKind kind) {
    auto& order = kind == DecoderKind::Archive ? m_archiveOrder : m_pictureOrder;
    const std::lock_guard lock(m_orderMutex);
    moveToFront(order, plugin.id);
}

DecoderId DecoderRegistry::identifyBuiltin(const IdentifyRequest& request,
                                           std::span<const std::byte> padded,
                                           std::span<const std::byte> header) {
    if (request.kind == DecoderKind::Archive) {
        return kNoDecoder;
    }
    const bool checkExtension = checksExtension(request);
    for (const BuiltinDecoder& d : builtinDecoders()) {
        if (!builtinOn(d.id) || d.id < request.first) {
            continue;
        }
        if (checkExtension && !matchesWildcardList(request.fileName, d.extensions)) {
            continue;
        }
        if (d.identify(request.fileName.c_str(), padded.data())) {
            if (request.notify) {
                request.notify(d.id, std::string(d.label), header);
            }
            return d.id;
        }
    }
    return kNoDecoder;
}

DecoderId DecoderRegistry::identifyOnce(const IdentifyRequest& request,
                                        std::span<const std::byte> header) {
    const std::vector<std::byte> bytes = paddedIdentifyHeader(header);
    const bool checkExtension = checksExtension(request);
    const auto notify = [&](int position, const std::string& name) {
        if (request.notify) {
            request.notify(position, name, header);
        }
    };
    bool mostRecentOrder = false;
    std::vector<Plugin*> asked;
    for (Plugin* p : identifyCandidates(request, mostRecentOrder)) {
        if (!checkExtension || matchesWildcardList(request.fileName, p->module.extensionList())) {
            asked.push_back(p);
        }
    }
    if (!asked.empty()) {
        const std::vector<PluginSlot*> slotList(asked.begin(), asked.end());
        int winner = -1;
        int faultedAt = 0;
        FaultReport fault;
        const bool answered =
            m_calls->firstSupporting(slotList, request.fileName, bytes, winner, faultedAt, fault);
        // Each plug-in asked is announced, in order, up to the one that
        // answered or faulted.
        const int last = !answered     ? faultedAt
                         : winner >= 0 ? winner
                                       : static_cast<int>(asked.size()) - 1;
        for (int i = 0; i <= last && i < static_cast<int>(asked.size()); ++i) {
            notify(asked[static_cast<std::size_t>(i)]->id,
                   asked[static_cast<std::size_t>(i)]->module.name());
        }
        if (!answered) {
            faulted(*asked[static_cast<std::size_t>(faultedAt)], fault);
            return kIdentifyFault;
        }
        if (winner >= 0) {
            Plugin& p = *asked[static_cast<std::size_t>(winner)];
            tookFile(p, request.kind);
            notify(p.id, p.module.name());
            return p.id;
        }
    }
    return identifyBuiltin(request, bytes, header);
}

template <class Call>
int DecoderRegistry::withRetries(DecoderId id, DecoderKind kind, const PluginSource& source,
                                 Call call) {
    int code = call(source);
    for (int attempt = 1; code != 0 && m_settings.macbinCheck && attempt <= kMacBinaryAttempts;
         ++attempt) {
        const auto skipped = skipMacBinary(source, attempt);
        if (!skipped) {
            break;
        }
        code = call(*skipped);
    }
    if (code == 0) {
        return code;
    }
    // One more try with the first call's arguments, once per plug-in; the
    // AVI and MPEG decoders are never asked twice.
    if (const BuiltinDecoder* d = kind == DecoderKind::Picture ? findBuiltinDecoder(id) : nullptr) {
        if (d->id == kAviDecoderId || d->id == kMpegDecoderId) {
            return code;
        }
        return call(source);
    }
    Plugin* p = pluginAt(id, kind);
    // The flag word is shared by every thread: only the one that sets the
    // bit tries again.
    if (p == nullptr || (p->flags.fetch_or(kPluginRetrySpent) & kPluginRetrySpent) != 0) {
        return code;
    }
    return call(source);
}

int DecoderRegistry::callInfo(DecoderId id, const PluginSource& source, PluginPictureInfo& out) {
    out = {};
    if (const BuiltinDecoder* d = findBuiltinDecoder(id)) {
        PictureInfo info{};
        const int code =
            d->info(source.buffer(), source.number(), source.mode(), info, withPolicy({}));
        PluginPictureInfo read = takePictureInfo(info);
        if (code == 0) {
            out = std::move(read);
        }
        return code;
    }
    Plugin* p = pluginAt(id, DecoderKind::Picture);
    if (p == nullptr || !usable(*p)) {
        return static_cast<int>(ResultCode::Failure);
    }
    ResultCode code = ResultCode::Failure;
    FaultReport fault;
    if (!m_calls->pictureInfo(*p, source, out, code, fault)) {
        faulted(*p, fault);
        out = {};
        return static_cast<int>(ResultCode::Failure);
    }
    return static_cast<int>(code);
}

int DecoderRegistry::info(DecoderId id, const PluginSource& source, PluginPictureInfo& out) {
    return withRetries(id, DecoderKind::Picture, source,
                       [&](const PluginSource& s) { return callInfo(id, s, out); });
}

DecodeOptions DecoderRegistry::pictureOptions(const DecodeOptions& options) const {
    DecodeOptions o = withPolicy(options);
    if (o.progress == nullptr) {
        const ProgressCallback fallback = m_defaultProgress.load();
        o.progress = fallback != nullptr ? fallback : alwaysContinue;
    }
    return o;
}

int DecoderRegistry::callPicture(DecoderId id, const PluginSource& source, PictureBuffer& out,
                                 const DecodeOptions& options) {
    out = PictureBuffer{};
    const DecodeOptions o = pictureOptions(options);
    if (const BuiltinDecoder* d = findBuiltinDecoder(id)) {
        return d->picture(source.buffer(), source.number(), source.mode(), out, o);
    }
    Plugin* p = pluginAt(id, DecoderKind::Picture);
    if (p == nullptr || !usable(*p)) {
        return static_cast<int>(ResultCode::Failure);
    }
    ResultCode code = ResultCode::Failure;
    FaultReport fault;
    if (!m_calls->picture(*p, source, out, o.progress, o.userData, code, fault)) {
        faulted(*p, fault);
        out = PictureBuffer{};
        return static_cast<int>(ResultCode::Failure);
    }
    if (code != ResultCode::Success) {
        out = PictureBuffer{};
    }
    return static_cast<int>(code);
}

int DecoderRegistry::picture(DecoderId id, const PluginSource& source, PictureBuffer& out,
                             const DecodeOptions& options) {
    return withRetries(id, DecoderKind::Picture, source,
                       [&](const PluginSource& s) { return callPicture(id, s, out, options); });
}

int DecoderRegistry::callArchiveList(DecoderId id, const PluginSource& source,
                                     std::vector<ArchiveEntry>& out) {
    out.clear();
    Plugin* p = pluginAt(id, DecoderKind::Archive);
    if (p == nullptr || !usable(*p)) {
        return static_cast<int>(ResultCode::Failure);
    }
    ResultCode code = ResultCode::Failure;
    bool gotList = false;
    FaultReport fault;
    if (!m_calls->archiveInfo(*p, source, out, gotList, code, fault)) {
        faulted(*p, fault);
        out.clear();
        return static_cast<int>(ResultCode::Failure);
    }
    // A damaged archive may answer "invalid" and still list what it could read.
    if (code == ResultCode::InvalidData && gotList) {
        return 0;
    }
    return static_cast<int>(code);
}

int DecoderRegistry::archiveList(DecoderId archive, const PluginSource& source,
                                 std::vector<ArchiveEntry>& out) {
    return withRetries(archive, DecoderKind::Archive, source,
                       [&](const PluginSource& s) { return callArchiveList(archive, s, out); });
}

template <class Call> int DecoderRegistry::callGetFile(DecoderId archive, Call call) {
    Plugin* p = pluginAt(archive, DecoderKind::Archive);
    if (p == nullptr || !usable(*p)) {
        return static_cast<int>(ResultCode::Failure);
    }
    ResultCode code = ResultCode::Failure;
    FaultReport fault;
    if (!call(*p, code, fault)) {
        faulted(*p, fault);
        return static_cast<int>(ResultCode::Failure);
    }
    return static_cast<int>(code);
}

int DecoderRegistry::archiveFileToMemory(DecoderId archive, const std::string& archivePath,
                                         std::uint32_t position, SpiBlock& out,
                                         ProgressCallback progress, intptr_t userData) {
    return callGetFile(archive, [&](Plugin& p, ResultCode& code, FaultReport& fault) {
        return m_calls->fileToMemory(p, archivePath, position, out, progress, userData, code,
                                     fault);
    });
}

int DecoderRegistry::archiveFileToFolder(DecoderId archive, const std::string& archivePath,
                                         std::uint32_t position, const std::string& folder,
                                         ProgressCallback progress, intptr_t userData) {
    return callGetFile(archive, [&](Plugin& p, ResultCode& code, FaultReport& fault) {
        return m_calls->fileToFolder(p, archivePath, position, folder, progress, userData, code,
                                     fault);
    });
}

bool DecoderRegistry::hasConfigurationDialog(DecoderId id, DecoderKind kind) const {
    const Plugin* p = pluginAt(id, kind);
    return p != nullptr && p->module.hasConfigurationDialog();
}

int DecoderRegistry::configurationDialog(DecoderId id, DecoderKind kind, void* parent,
                                         int function) {
    Plugin* p = pluginAt(id, kind);
    if (p == nullptr || !usable(*p)) {
        return -1;
    }
    int result = -1;
    FaultReport fault;
    if (!m_calls->configurationDialog(*p, parent, function, result, fault)) {
        faulted(*p, fault);
        return -1;
    }
    return result;
}

int DecoderRegistry::loadEntryPicture(EntryDecoding& entry, PictureBuffer& out, int requestedWidth,
                                      int requestedHeight, ProgressCallback progress,
                                      intptr_t userData) {
    out = PictureBuffer{};
    // A member is read into memory first; its first 2048 bytes identify it.
    SpiBlock member;
    std::optional<PluginSource> source;
    std::vector<std::byte> header;
    if (entry.archive >= 0) {
        const int code =
            archiveFileToMemory(entry.archive, entry.path, entry.memberPosition, member);
        if (code != 0) {
            return code;
        }
        source = PluginSource::memory(member.bytes());
        const auto bytes = member.bytes();
        header.assign(bytes.begin(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(
                                          std::min<std::size_t>(bytes.size(), SPI_HEADER_BYTES)));
        header.resize(SPI_HEADER_BYTES);
        if (entry.decoder < 0) {
            // A member not identified yet is identified from the bytes just
            // unpacked, rather than unpacked once more for that.
            IdentifyRequest request;
            request.fileName = entry.name.empty() ? entry.path : entry.name;
            request.archive = entry.archive;
            request.header = header;
            entry.decoder = identify(request);
            if (entry.decoder < 0) {
                entry.decoder = kNoDecoder;
                return static_cast<int>(ResultCode::Failure);
            }
        }
    } else {
        source = PluginSource::file(entry.path);
    }
    int code = static_cast<int>(ResultCode::Failure);
    DecoderId d = entry.decoder;
    while (d >= 0) {
        entry.decoder = d;
        bool ready = true;
        const BuiltinDecoder* builtin = findBuiltinDecoder(d);
        if ((entry.width == 0 || entry.height == 0) && builtin != nullptr &&
            builtin->pictureAndInfo != nullptr) {
            // The header is read once for the size and the decode. Whatever
            // goes wrong is left to the two calls below, with their retries.
            DecodeOptions options;
            options.progress = progress;
            options.userData = userData;
            if (requestedWidth > 0 && requestedHeight > 0) {
                options.requestedWidth = requestedWidth;
                options.requestedHeight = requestedHeight;
            }
            PictureInfo read{};
            const int combined =
                builtin->pictureAndInfo(source->buffer(), source->number(), source->mode(), read,
                                        out, pictureOptions(options));
            const PluginPictureInfo info = takePictureInfo(read);
            if (combined == 0) {
                entry.width = info.width;
                entry.height = info.height;
                entry.bitCount = info.bitCount;
                entry.comment = info.comment;
                return 0;
            }
            out = PictureBuffer{};
        }
        if (entry.width == 0 || entry.height == 0) {
            PluginPictureInfo info;
            code = this->info(d, *source, info);
            ready = code == 0;
            if (ready) {
                entry.width = info.width;
                entry.height = info.height;
                entry.bitCount = info.bitCount;
                entry.comment = info.comment;
            }
        }
        if (ready) {
            DecodeOptions options;
            options.progress = progress;
            options.userData = userData;
            if (requestedWidth > 0 && requestedHeight > 0) {
                options.reduction =
                    thumbnailReduction(entry.width, entry.height, requestedWidth, requestedHeight);
                options.requestedWidth = requestedWidth;
                options.requestedHeight = requestedHeight;
            }
            code = picture(d, *source, out, options);
            if (code == 0) {
                return 0;
            }
        }
        // This decoder could not do it: ask the ones after it.
        entry.decoder = kNoDecoder;
        entry.comment.clear();
        entry.width = entry.height = entry.bitCount = 0;
        IdentifyRequest request;
        request.fileName = entry.name.empty() ? entry.path : entry.name;
        request.first = d + 1;
        request.archive = entry.archive;
        request.header = header;
        if (header.empty()) {
            header = readIdentifyHeader(entry.path, -1, 0);
            if (header.empty()) {
                return code;
            }
            request.header = header;
        }
        d = identify(request);
    }
    return code;
}

DecoderId DecoderRegistry::identifyEntry(EntryDecoding& entry) {
    IdentifyRequest request;
    request.fileName = entry.name.empty() ? entry.path : entry.name;
    request.archive = entry.archive;
    std::vector<std::byte> header;
    if (entry.archive >= 0) {
        SpiBlock member;
        if (archiveFileToMemory(entry.archive, entry.path, entry.memberPosition, member) != 0) {
            return kNoDecoder;
        }
        const auto bytes = member.bytes();
        header.assign(bytes.begin(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(
                                          std::min<std::size_t>(bytes.size(), SPI_HEADER_BYTES)));
        header.resize(SPI_HEADER_BYTES);
        request.header = header;
    } else {
        request.fileName = entry.path;
    }
    entry.decoder = identify(request);
    return entry.decoder;
}

} // namespace vemra
