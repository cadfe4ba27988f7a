#include "imaging/decoder_registry.h"

#include "imaging/identify_header.h"
#include "platform/wildcard.h"

#include <algorithm>

// Identification of many files at once. With plug-ins in host processes one
// exchange answers a whole batch; the answers stay exactly those of
// identify() called file after file: the same plug-ins asked in the same
// order (the host keeps the most-recently-successful order as it goes), the
// built-ins and the MacBinary attempts after them here, and a batch the host
// could not finish asked again file by file, where a fault is found,
// reported and its plug-in left out as always.
namespace vemra {
namespace {

// Files and header bytes per exchange: big enough that the round trip
// vanishes beside the plug-ins' answers, small enough that a scan notices
// Escape between batches.
constexpr std::size_t kBatchFiles = 256;
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;

bool sameQuestion(const IdentifyRequest& a, const IdentifyRequest& b) {
    return a.kind == b.kind && a.first == b.first && a.archive == b.archive &&
           a.forceExtensionMatch == b.forceExtensionMatch;
}

} // namespace

std::vector<DecoderId> DecoderRegistry::identifyFiles(std::span<const IdentifyRequest> requests) {
    std::vector<DecoderId> out(requests.size(), kNoDecoder);
    std::size_t at = 0;
    while (at < requests.size()) {
        if (m_host == nullptr || requests[at].notify) {
            out[at] = identify(requests[at]);
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        while (end < requests.size() && !requests[end].notify &&
               sameQuestion(requests[end], requests[at])) {
            ++end;
        }
        identifyGroup(requests.subspan(at, end - at), std::span(out).subspan(at, end - at));
        at = end;
    }
    return out;
}

void DecoderRegistry::identifyGroup(std::span<const IdentifyRequest> requests,
                                    std::span<DecoderId> out) {
    const IdentifyRequest& shape = requests.front();
    const bool checkExtension = checksExtension(shape);
    std::size_t next = 0;
    while (next < requests.size()) {
        // Asked afresh for every batch: a plug-in that faulted in the last
        // one is left out now.
        bool mostRecentOrder = false;
        const std::vector<Plugin*> plugins = identifyCandidates(shape, mostRecentOrder);
        if (plugins.empty()) {
            // No plug-in to ask: nothing to save by batching.
            for (; next < requests.size(); ++next) {
                out[next] = identify(requests[next]);
            }
            return;
        }

        struct Pending {
            std::size_t index;
            std::vector<std::byte> header; // as read
            std::vector<std::byte> padded;
            std::vector<std::uint32_t> eligible;
        };
        std::vector<Pending> batch;
        std::size_t bytes = 0;
        std::size_t end = next;
        for (; end < requests.size() && batch.size() < kBatchFiles && bytes < kBatchBytes; ++end) {
            const IdentifyRequest& request = requests[end];
            Pending pending{end, {}, {}, {}};
            if (request.header.empty()) {
                pending.header = readIdentifyHeader(request.fileName, request.fd, request.offset);
            } else {
                pending.header.assign(request.header.begin(), request.header.end());
            }
            if (pending.header.empty()) {
                out[end] = kNoDecoder; // unreadable, as identify() answers
                continue;
            }
            pending.padded = paddedIdentifyHeader(pending.header);
            if (checkExtension) {
                for (std::uint32_t i = 0; i < plugins.size(); ++i) {
                    if (matchesWildcardList(request.fileName, plugins[i]->module.extensionList())) {
                        pending.eligible.push_back(i);
                    }
                }
            }
            bytes += pending.padded.size() + request.fileName.size();
            batch.push_back(std::move(pending));
        }

        std::vector<host::BatchQuestion> questions;
        questions.reserve(batch.size());
        for (const Pending& pending : batch) {
            questions.push_back({requests[pending.index].fileName,
                                 std::span(pending.padded)
                                     .first(std::min(pending.padded.size(), host::kMaxBatchHeader)),
                                 pending.eligible, !checkExtension});
        }
        const std::vector<PluginSlot*> slots(plugins.begin(), plugins.end());
        std::vector<std::int32_t> winners;
        if (!batch.empty() && !m_host->identifyBatch(slots, mostRecentOrder, questions, winners)) {
            for (const Pending& pending : batch) {
                out[pending.index] = identify(requests[pending.index]);
            }
            next = end;
            continue;
        }

        std::size_t resume = end;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const Pending& pending = batch[i];
            const IdentifyRequest& request = requests[pending.index];
            DecoderId result = kNoDecoder;
            if (winners[i] >= 0) {
                const Plugin& taker = *plugins[static_cast<std::size_t>(winners[i])];
                tookFile(taker, shape.kind);
                result = taker.id;
            } else {
                result = identifyBuiltin(request, pending.padded, pending.header);
            }
            if (result == kNoDecoder && m_settings.macbinCheck) {
                // The attempts ask the plug-ins again; one that takes a file
                // there changes the order the next files are asked in, and
                // one that faults there is left out of them: either way the
                // files after this one are asked again.
                std::vector<int> before;
                {
                    const std::lock_guard lock(m_orderMutex);
                    before = shape.kind == DecoderKind::Archive ? m_archiveOrder : m_pictureOrder;
                }
                result = macBinaryAttempts(request, pending.header, result);
                const std::lock_guard lock(m_orderMutex);
                if (result == kIdentifyFault ||
                    before !=
                        (shape.kind == DecoderKind::Archive ? m_archiveOrder : m_pictureOrder)) {
                    out[pending.index] = result;
                    resume = pending.index + 1;
                    break;
                }
            }
            out[pending.index] = result;
        }
        next = resume;
    }
}

} // namespace vemra
