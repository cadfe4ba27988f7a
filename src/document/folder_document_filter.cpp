#include "document/display_filter.h"
#include "document/folder_document.h"
#include "document/scan_masks.h"
#include "document/scan_record.h"
#include "document/scan_services.h"
#include "platform/ascii_case.h"
#include "platform/modification_time.h"
#include "platform/wildcard.h"

#include <algorithm>

namespace vemra {
namespace {

// Whether the limit [from, to] of a new request keeps only what the
// recorded one kept: it is off in both, or on in the new one within the
// recorded one's (off there takes everything).
bool rangeWithin(bool on, std::int64_t from, std::int64_t to, bool recordedOn,
                 std::int64_t recordedFrom, std::int64_t recordedTo) {
    if (!on)
        return !recordedOn;
    return !recordedOn || (recordedFrom <= from && to <= recordedTo);
}

} // namespace

bool FolderDocument::applyDisplayFilter(const DisplayFilter& filter) {
    const bool maskChanged = m_mask != filter.mask;
    const bool optionsChanged = filter.applyTo(m_options);
    m_mask = filter.mask;
    if (!maskChanged && !optionsChanged)
        return false;
    if (m_folder.empty())
        return true;
    const ScanRequest request = refreshRequest(true);
    if (recordCovers(request))
        listFromRecord(request);
    else
        refresh(true);
    return true;
}

void FolderDocument::dropScanRecord() {
    if (!m_record)
        return;
    for (auto& entry : m_record->held)
        destroyEntry(entry);
    m_record.reset();
}

bool FolderDocument::recordCovers(const ScanRequest& request) const {
    if (!m_record)
        return false;
    const ScanRecord& r = *m_record;
    const ScanRequest& was = r.request;
    if (request.folder != was.folder || request.archives != was.archives ||
        request.subFolders != was.subFolders || request.useStoredInformation)
        return false;
    // The same files must have been turned away after the enumeration.
    if (r.scanSpi != m_options.scanSpi || r.extensionOnly != m_services.extensionListsOnly())
        return false;
    if (r.extensionOnly && (r.pictureExtensions != m_services.pictureExtensions() ||
                            r.archiveExtensions != m_services.archiveExtensions()))
        return false;
    if (!rangeWithin(request.dateFilter, request.dateFrom, request.dateTo, was.dateFilter,
                     was.dateFrom, was.dateTo) ||
        !rangeWithin(request.sizeFilter, request.sizeMinimum, request.sizeMaximum, was.sizeFilter,
                     was.sizeMinimum, was.sizeMaximum))
        return false;
    if (!maskTakesEveryName(r.mask)) {
        for (const std::string& mask : scanMasks(request)) {
            if (!equalIgnoringCase(mask, r.mask))
                return false;
        }
    }
    // A name added, removed or renamed in a folder moves its time.
    for (const ScanRecord::Folder& folder : r.folders) {
        if (modificationNanoseconds(folder.path) != folder.modifiedNanoseconds)
            return false;
    }
    return true;
}

void FolderDocument::listFromRecord(const ScanRequest& request) {
    dropThumbnailJobs();
    ScanRecord& record = *m_record;
    // Every recorded entry, in the order the scan found them: each sits at
    // its place in that order.
    EntryList all(record.count);
    {
        std::lock_guard guard(m_lock);
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            all[record.listedRanks[i]] = std::move(m_entries[i]);
        for (std::size_t i = 0; i < record.held.size(); ++i)
            all[record.heldRanks[i]] = std::move(record.held[i]);
        m_entries.clear();
        record.held.clear();
        record.listedRanks.clear();
        record.heldRanks.clear();
        m_displayOrder.clear();
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    updateAllViews(nullptr, hint::ListEmptied{m_folder});
    m_useCache = false;
    m_scanning = true;

    // What the scan would have done with each file: the date and size limits
    // look at the file (an archive's members at the archive), the masks at
    // its name; with several masks each file is listed under the first that
    // takes it, mask after mask.
    const std::vector<std::string> masks = scanMasks(request);
    std::vector<std::vector<std::size_t>> byMask(masks.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!all[i])
            continue;
        const PictureSource& e = *all[i];
        std::uint64_t size = e.length;
        std::int64_t time = e.lastWriteTime;
        if (e.isArchiveMember()) {
            const auto facts = record.archives.find(e.archiveFullPath());
            if (facts == record.archives.end())
                continue; // (the scan records every archive it lists)
            size = facts->second.size;
            time = facts->second.lastWriteTime;
        }
        if (request.dateFilter && (time < request.dateFrom || time > request.dateTo))
            continue;
        if (request.sizeFilter && (static_cast<std::int64_t>(size) < request.sizeMinimum ||
                                   static_cast<std::int64_t>(size) > request.sizeMaximum))
            continue;
        const std::string& name = e.isArchiveMember() ? e.archiveFileName : e.fileName;
        for (std::size_t m = 0; m < masks.size(); ++m) {
            if (matchesWildcard(name, masks[m])) {
                byMask[m].push_back(i);
                break;
            }
        }
    }

    {
        std::lock_guard guard(m_lock);
        const EntryDrawingOptions drawing = drawingOptions();
        for (const std::vector<std::size_t>& group : byMask) {
            for (const std::size_t i : group) {
                all[i]->drawing = drawing;
                m_displayOrder.push_back(static_cast<int>(m_entries.size()));
                m_entries.push_back(std::move(all[i]));
                record.listedRanks.push_back(static_cast<std::uint32_t>(i));
            }
        }
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (!all[i])
                continue; // listed
            // Out of the list, an entry is neither selected nor focused; it
            // keeps its thumbnail (within the memory budget) and its cache
            // record for when a filter lists it again.
            all[i]->state &= ~(PictureSource::kSelected | PictureSource::kFocused);
            record.held.push_back(std::move(all[i]));
            record.heldRanks.push_back(static_cast<std::uint32_t>(i));
        }
    }
    m_scanning = false;
    selectedCount(true);
    finishOpening(nullptr);
}

} // namespace vemra
