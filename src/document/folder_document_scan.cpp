#include "document/folder_document.h"
#include "document/folder_info_file.h"
#include "document/identified_ahead.h"
#include "document/scan_masks.h"
#include "document/scan_record.h"
#include "document/scan_services.h"
#include "platform/ascii_case.h"
#include "platform/file_status.h"
#include "platform/folder_listing.h"
#include "platform/modification_time.h"
#include "platform/text_encoding.h"
#include "platform/wildcard.h"

#include <chrono>
#include <cstring>
#include <limits>
#include <new>
#include <set>
#include <unordered_set>

namespace vemra {
namespace {

// The program's own files in a picture folder are never pictures.
constexpr std::string_view kOwnedFiles[] = {"DIRINFO.KPI", "_THUMBS_.KPI", "_NOTE_.KPI"};
// Plain files identified at once ahead of the scan's walk.
constexpr std::size_t kIdentifyAhead = 256;

std::string inFolder(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path != "/")
        path += '/';
    path += name;
    return path;
}

// What makes two entries the same picture: a file by its full path, a member
// by its archive, name and position. Names are case-sensitive here, as the
// file system is.
std::string identityKey(const PictureSource& e) {
    std::string key;
    if (e.isArchiveMember()) {
        key = "M\n";
        key += e.archiveFullPath();
        key += '\n';
        key += e.fileName;
        key += '\n';
        key += std::to_string(e.memberPosition);
    } else {
        key = "F\n";
        key += e.fullPath();
    }
    return key;
}

} // namespace

struct FolderDocument::ScanState {
    EntryList batch;
    // Entries read from folder-information files in this batch, so the
    // enumeration finds them again instead of listing a file twice.
    std::unordered_map<std::string, PictureSource*> stored;
    // Entries of the previous list by identity, for a refresh to reuse.
    std::unordered_map<std::string, std::size_t> previous;
    // Folders already scanned, so links cannot lead the scan in circles.
    std::set<std::pair<std::uint64_t, std::uint64_t>> visited;
    // For the record of the scan: the folders read with their times, the
    // archives listed with their sizes and times, and whether anything
    // keeps this scan from being a record (a folder-information file read,
    // a folder whose time cannot tell of changes).
    std::vector<ScanRecord::Folder> folders;
    std::unordered_map<std::string, ScanRecord::FileFacts> archives;
    bool unrecordable = false;
};

bool FolderDocument::interruptionPending(const ScanRequest& request) const {
    return request.interruptible && m_interrupted && m_interrupted();
}

int FolderDocument::scan(ScanRequest& request) {
    dropScanRecord();
    m_scanning = true;
    int result = kScanComplete;
    ScanState state;
    for (std::size_t i = 0; i < m_previous.size(); ++i) {
        if (m_previous[i])
            state.previous.emplace(identityKey(*m_previous[i]), i);
    }
    EntryList collection;
    std::unordered_set<std::string> collected;
    const std::vector<std::string> masks = scanMasks(request);
    for (const std::string& mask : masks) {
        state.batch.clear();
        state.stored.clear();
        state.visited.clear();
        result = scanFolder(request, request.folder, mask, state);
        // The same file matched by two masks is listed once, where it was
        // first found. The copy is dropped quietly: its thumbnail-cache
        // record belongs to the entry that stays.
        for (auto& entry : state.batch) {
            if (masks.size() == 1 || collected.insert(identityKey(*entry)).second)
                collection.push_back(std::move(entry));
        }
        state.batch.clear();
        if (result != kScanComplete)
            break;
    }
    {
        std::lock_guard guard(m_lock);
        m_entries = std::move(collection);
        m_displayOrder.clear();
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    if (result == kScanComplete) {
        buildDisplayOrder(request);
        if (masks.size() == 1)
            recordScan(request, state);
    }
    m_scanning = false;
    if (result == kScanInterrupted) {
        clear(true);
        updateAllViews(nullptr, hint::ListEmptied{m_folder});
    }
    return result;
}

void FolderDocument::recordScan(const ScanRequest& request, ScanState& state) {
    // Entries the walk did not reach (it was interrupted) were never
    // identified; a folder-information file lists what it holds, not the
    // folder.
    if (state.unrecordable || m_displayOrder.size() != m_entries.size() ||
        m_entries.size() > std::numeric_limits<std::uint32_t>::max())
        return;
    auto record = std::make_unique<ScanRecord>();
    record->request = request;
    record->mask = scanMasks(request).front();
    record->scanSpi = m_options.scanSpi;
    record->extensionOnly = m_services.extensionListsOnly();
    if (record->extensionOnly) {
        record->pictureExtensions = m_services.pictureExtensions();
        record->archiveExtensions = m_services.archiveExtensions();
    }
    record->folders = std::move(state.folders);
    record->archives = std::move(state.archives);
    record->count = m_entries.size();
    record->listedRanks.resize(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        record->listedRanks[i] = static_cast<std::uint32_t>(i);
    m_record = std::move(record);
}

int FolderDocument::scanFolder(ScanRequest& request, const std::string& folder,
                               const std::string& mask, ScanState& state) {
    if (folder.empty())
        return kScanComplete; // no folder chosen yet: nothing, not the working folder
    if (auto self = fileStatus(folder)) {
        if (!state.visited.emplace(self->device, self->inode).second)
            return kScanComplete;
    }
    // Read before the names, so that any change made while they are read
    // moves the time past the one kept.
    if (const auto modified = modificationNanoseconds(folder)) {
        const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        if (now - *modified < ScanRecord::kSettledNanoseconds)
            state.unrecordable = true;
        state.folders.push_back({folder, *modified});
    } else {
        state.unrecordable = true;
    }
    std::string thumbsFile;
    const std::string infoPath = inFolder(folder, FolderInfoFile::kFileName);
    if (request.useStoredInformation && isExistingFile(infoPath)) {
        FolderInfoFile::Request info;
        info.folder = folder;
        info.archiveOption = request.archives;
        info.thumbsLimitSize = m_options.thumbsLimitSize;
        info.prototype = newEntryPrototype();
        FolderInfoFile::Result read = FolderInfoFile::read(info, m_services, m_progress);
        m_scanning = true;
        state.unrecordable = true;
        if (read.thumbnailSize)
            m_thumbnailSize = *read.thumbnailSize;
        thumbsFile = read.thumbsFile;
        for (auto& entry : read.entries) {
            auto [it, fresh] = state.stored.emplace(identityKey(*entry), entry.get());
            if (fresh)
                state.batch.push_back(std::move(entry));
        }
    }

    const std::vector<DirectoryItem> items = enumerateFolder(folder, mask);
    const auto listed = [&](const DirectoryItem& item) {
        if (!item.status.isFile)
            return false;
        bool owned = !thumbsFile.empty() && equalIgnoringCase(item.name, thumbsFile);
        for (std::string_view name : kOwnedFiles)
            owned = owned || equalIgnoringCase(item.name, name);
        if (owned)
            return false;
        const FileStatus& s = item.status;
        if (request.dateFilter &&
            (s.lastWriteTime < request.dateFrom || s.lastWriteTime > request.dateTo))
            return false;
        if (request.sizeFilter && (static_cast<std::int64_t>(s.size) < request.sizeMinimum ||
                                   static_cast<std::int64_t>(s.size) > request.sizeMaximum))
            return false;
        return true;
    };
    // Which files are archives is asked a batch ahead of the walk, as the
    // plain files are later: a registry whose plug-ins run in another
    // process answers many in one exchange.
    IdentifiedAhead ahead;
    const auto archiveDecoderOf = [&](std::size_t index) {
        if (!ahead.holds(index)) {
            ahead.restart();
            std::vector<std::string> paths;
            for (std::size_t j = index; j < items.size() && paths.size() < kIdentifyAhead; ++j) {
                if (!listed(items[j]) || items[j].status.size == 0)
                    continue;
                ahead.ask(j);
                paths.push_back(inFolder(folder, items[j].name));
            }
            ahead.answer(m_services.identifyArchives(paths));
        }
        return ahead.take(index);
    };

    for (std::size_t index = 0; index < items.size(); ++index) {
        const DirectoryItem& item = items[index];
        if (!listed(item))
            continue;
        const FileStatus& s = item.status;
        bool isArchive = false;
        if (request.archives && s.size > 0) {
            const DecoderId archiveDecoder = archiveDecoderOf(index);
            bool listFailed = false;
            const int rc = addArchive(request, state, folder, item.name, s, archiveDecoder,
                                      isArchive, listFailed);
            // A plug-in that faulted while listing is asked nothing more, so
            // the files after this one are asked again without it.
            if (listFailed)
                ahead.restart();
            if (rc != kScanComplete)
                return rc;
            // Keyed as its members name it (PictureSource::archiveFullPath).
            if (isArchive)
                state.archives[folder + '/' + item.name] = {s.size, s.lastWriteTime};
        }
        if (!isArchive) {
            auto entry = std::make_unique<PictureSource>();
            entry->folder = folder;
            entry->fileName = item.name;
            entry->length = s.size;
            entry->creationTime = s.creationTime;
            entry->lastWriteTime = s.lastWriteTime;
            const int rc = addFile(state, std::move(entry));
            if (rc != kScanComplete)
                return rc;
            ++request.foundCount;
        }
        if (interruptionPending(request))
            return kScanInterrupted;
    }

    if (request.subFolders) {
        for (const DirectoryItem& item : enumerateFolder(folder, "*")) {
            if (!item.status.isFolder)
                continue;
            const int rc = scanFolder(request, inFolder(folder, item.name), mask, state);
            if (rc != kScanComplete)
                return rc;
        }
    }
    return kScanComplete;
}

int FolderDocument::addArchive(ScanRequest& request, ScanState& state, const std::string& folder,
                               const std::string& name, const FileStatus& status,
                               DecoderId archiveDecoder, bool& isArchive, bool& listFailed) {
    isArchive = false;
    listFailed = false;
    if (status.size == 0 || archiveDecoder == kNoDecoder)
        return kScanComplete;
    isArchive = true;
    const std::string path = inFolder(folder, name);
    std::vector<ArchiveEntry> members;
    const ResultCode rc = m_services.listArchive(archiveDecoder, path, members);
    listFailed = rc != ResultCode::Success;
    if (rc != ResultCode::Success && members.empty())
        return kScanComplete; // unreadable: neither it nor members are listed
    for (const ArchiveEntry& member : members) {
        const std::size_t nameLength = strnlen(member.filename, sizeof member.filename);
        if (nameLength == 0)
            continue; // a folder record
        auto entry = std::make_unique<PictureSource>();
        entry->folder = folder;
        entry->fileName = toUtf8(std::string_view(member.filename, nameLength));
        entry->length = member.filesize;
        entry->creationTime = member.timestamp;
        entry->lastWriteTime = member.timestamp;
        entry->archiveDecoder = archiveDecoder;
        entry->archiveFileName = name;
        entry->memberPosition = static_cast<int>(member.position);
        const int added = addFile(state, std::move(entry));
        if (added != kScanComplete)
            return added;
        ++request.foundCount;
        if (interruptionPending(request))
            return kScanInterrupted;
    }
    return kScanComplete;
}

int FolderDocument::addFile(ScanState& state, std::unique_ptr<PictureSource> found) {
    try {
        // Matching needs the identity text; a first scan has nothing to match.
        if (!state.stored.empty() || !state.previous.empty()) {
            const std::string key = identityKey(*found);
            // An entry that is already known keeps what was learnt about the
            // picture while the file is unchanged; a changed file keeps only
            // its place and gets its new size and times.
            auto refreshFrom = [&](PictureSource& known) {
                if (known.length != found->length || known.lastWriteTime != found->lastWriteTime) {
                    known.clear();
                    known.length = found->length;
                    known.creationTime = found->creationTime;
                    known.lastWriteTime = found->lastWriteTime;
                }
                known.drawing = drawingOptions();
            };
            if (auto it = state.stored.find(key); it != state.stored.end()) {
                refreshFrom(*it->second);
                return kScanComplete;
            }
            if (auto it = state.previous.find(key); it != state.previous.end()) {
                std::unique_ptr<PictureSource> known = std::move(m_previous[it->second]);
                state.previous.erase(it);
                refreshFrom(*known);
                state.batch.push_back(std::move(known));
                return kScanComplete;
            }
        }
        found->drawing = drawingOptions();
        found->appearance = m_appearance;
        found->useCacheFirst = m_useCache;
        state.batch.push_back(std::move(found));
        return kScanComplete;
    } catch (const std::bad_alloc&) {
        return kScanOutOfMemory;
    }
}

void FolderDocument::buildDisplayOrder(const ScanRequest& request) {
    // The extension filter: the picture decoders' patterns, and those of the
    // archive decoders when archives are listed (a file that stayed a plain
    // entry may still be an archive the list could not be read from).
    // Archive members are pictures, so they meet the picture patterns only;
    // an archive decoder's own patterns name archive files and would turn
    // every member away.
    const bool extensionOnly = m_services.extensionListsOnly();
    std::string pictures;
    std::string extensions;
    if (extensionOnly) {
        pictures = m_services.pictureExtensions();
        extensions = pictures;
        if (request.archives) {
            const std::string archives = m_services.archiveExtensions();
            if (!extensions.empty() && !archives.empty())
                extensions += ';';
            extensions += archives;
        }
    }
    auto nameAccepted = [&](const PictureSource& e) {
        if (!extensionOnly)
            return true;
        return matchesWildcardList(e.fileName, e.isArchiveMember() ? pictures : extensions);
    };

    // Plain files are identified a batch ahead of the walk: a registry whose
    // plug-ins run in another process answers many in one exchange. A batch
    // ends before the next archive member, whose identification may change
    // the order plug-ins are asked in, as it would one file at a time.
    const auto needsFileIdentification = [&](const PictureSource& e) {
        return !e.isArchiveMember() && e.length > 0 && (!extensionOnly || nameAccepted(e));
    };
    IdentifiedAhead ahead;
    const auto identifiedFile = [&](std::size_t index) {
        if (!ahead.holds(index)) {
            ahead.restart();
            std::vector<std::string> paths;
            for (std::size_t j = index; j < m_entries.size() && paths.size() < kIdentifyAhead;
                 ++j) {
                const PictureSource& e = *m_entries[j];
                if (e.isArchiveMember())
                    break;
                if (!needsFileIdentification(e))
                    continue;
                ahead.ask(j);
                paths.push_back(e.fullPath());
            }
            ahead.answer(m_services.identifyFiles(paths));
        }
        return ahead.take(index);
    };

    // The members of one archive are identified a batch ahead too, up to
    // the next entry that is no member of the same archive.
    IdentifiedAhead membersAhead;
    const auto identifiedMember = [&](std::size_t index) {
        if (!membersAhead.holds(index)) {
            membersAhead.restart();
            const PictureSource& first = *m_entries[index];
            const std::string archivePath = first.archiveFullPath();
            std::vector<ArchiveEntry> members;
            for (std::size_t j = index; j < m_entries.size() && members.size() < kIdentifyAhead;
                 ++j) {
                const PictureSource& e = *m_entries[j];
                if (!e.isArchiveMember() || e.archiveDecoder != first.archiveDecoder ||
                    e.archiveFileName != first.archiveFileName || e.folder != first.folder)
                    break;
                if (!nameAccepted(e))
                    continue;
                ArchiveEntry& member = members.emplace_back();
                member.position = static_cast<std::uint32_t>(e.memberPosition);
                member.filesize = static_cast<std::uint32_t>(e.length);
                std::strncpy(member.filename, e.fileName.c_str(), sizeof member.filename - 1);
                membersAhead.ask(j);
            }
            membersAhead.answer(
                m_services.identifyMembers(first.archiveDecoder, archivePath, members));
        }
        return membersAhead.take(index);
    };

    // Accepted entries move down in place over the dropped ones, so that the
    // display order is valid at every step for views told by EntryAccepted.
    std::size_t kept = 0;
    std::size_t walked = 0;
    for (; walked < m_entries.size(); ++walked) {
        auto& entry = m_entries[walked];
        bool accepted = true;
        if (m_options.scanSpi) {
            if (extensionOnly && !entry->isArchiveMember() && !nameAccepted(*entry)) {
                accepted = false;
            } else {
                DecoderId decoder = kNoDecoder;
                if (entry->isArchiveMember()) {
                    if (nameAccepted(*entry))
                        decoder = identifiedMember(walked);
                } else if (entry->length > 0) {
                    decoder = identifiedFile(walked);
                }
                accepted = decoder != kNoDecoder;
            }
        } else {
            accepted = nameAccepted(*entry);
        }
        if (!accepted) {
            destroyEntry(entry);
            continue;
        }
        {
            std::lock_guard guard(m_lock);
            if (kept != walked)
                m_entries[kept] = std::move(entry);
            m_displayOrder.push_back(static_cast<int>(kept));
            ++kept;
        }
        if (m_options.scanSpi && m_options.syncFind)
            updateAllViews(nullptr, hint::EntryAccepted{displayedCount() - 1});
        if (m_options.scanSpi && interruptionPending(request)) {
            ++walked;
            break;
        }
    }
    // Entries the walk did not reach stay in the list, undisplayed.
    std::lock_guard guard(m_lock);
    for (; walked < m_entries.size(); ++walked) {
        if (kept != walked)
            m_entries[kept] = std::move(m_entries[walked]);
        ++kept;
    }
    m_entries.resize(kept);
}

} // namespace vemra
