#include "document/folder_document.h"

#include "document/display_colours.h"
#include "document/exif_previews.h"
#include "document/picture_loader.h"
#include "document/scan_record.h"
#include "document/scan_services.h"
#include "document/thumb_cache.h"
#include "document/thumbnail_jobs.h"
#include "document/thumbnail_maker.h"
#include "platform/file_status.h"
#include "platform/worker_pool.h"

#include <algorithm>

namespace vemra {
namespace {

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string namePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

} // namespace

FolderDocument::FolderDocument(const ScanServices& services, ThumbCache& cache,
                               DocumentOptions options)
    : m_services(services), m_cache(cache), m_options(std::move(options)),
      m_thumbnailSize(m_options.thumbsSize) {
    m_appearance = std::make_shared<const EntryAppearance>(m_options.appearance());
    m_displayColour = chooseDisplayColour(m_options.colorManagement, m_options.displayProfile, {});
    publishCacheFolder();
}

void FolderDocument::setDesktopColourProfile(std::vector<std::byte> profile) {
    m_desktopColourProfile = std::move(profile);
    const auto before = m_displayColour;
    m_displayColour = chooseDisplayColour(m_options.colorManagement, m_options.displayProfile,
                                          m_desktopColourProfile, m_displayColour);
    if (m_displayColour == before)
        return;
    {
        std::lock_guard guard(m_lock);
        for (auto& entry : m_entries)
            entry->drawing.colour = m_displayColour;
    }
    updateAllViews(nullptr, hint::RedrawAll{m_folder});
}

void FolderDocument::applyThumbnailOptions() {
    m_appearance = std::make_shared<const EntryAppearance>(m_options.appearance());
    m_displayColour = chooseDisplayColour(m_options.colorManagement, m_options.displayProfile,
                                          m_desktopColourProfile, m_displayColour);
    // The sharpening settings and the worker count are taken when the maker
    // and the workers are made; making them again waits for the running
    // thumbnails, so only a change of those does it.
    const UnsharpSettings sharpening = m_options.sharpening();
    const int threads =
        m_options.thumbWorkers > 0 ? m_options.thumbWorkers : WorkerPool::coreCount();
    if (!m_maker || m_maker->sharpening().side != sharpening.side ||
        m_maker->sharpening().kernel != sharpening.kernel ||
        m_maker->sharpening().level != sharpening.level || thumbnailWorkerCount() != threads)
        setPictureLoader(m_loader);
    m_budget.setLimit(static_cast<std::size_t>(m_options.thumbMemoryMB) << 20);
    const EntryDrawingOptions drawing = drawingOptions();
    {
        std::lock_guard guard(m_lock);
        for (auto& entry : m_entries) {
            entry->appearance = m_appearance;
            // A changed mode, sharpening or colour target has the thumbnail
            // made again the next time it is drawn; the frame and caption
            // flags only redraw.
            entry->drawing = drawing;
        }
    }
    updateAllViews(nullptr, hint::RedrawAll{m_folder});
}

FolderDocument::~FolderDocument() {
    clear(true);
    // Running thumbnails use the maker and the loader: they end here.
    m_workers.reset();
    m_previews.reset();
}

void FolderDocument::saveOptions() {
    if (m_store == nullptr)
        return;
    std::vector<std::string> texts;
    for (DocumentOptions::Entry& e : m_options.entries())
        texts.push_back(std::move(e.value));
    if (texts == m_savedOptions)
        return;
    m_options.save(*m_store);
    m_savedOptions = std::move(texts);
}

EntryDrawingOptions FolderDocument::drawingOptions() const {
    return {m_options.frame,     m_options.nameFrame, m_options.name,       m_options.limitCheck,
            m_options.scaleMode, m_options.unsharp,   m_options.autoRotate, m_displayColour};
}

PictureSource FolderDocument::newEntryPrototype() const {
    PictureSource prototype;
    prototype.drawing = drawingOptions();
    prototype.appearance = m_appearance;
    prototype.useCacheFirst = m_useCache;
    return prototype;
}

void FolderDocument::destroyEntry(std::unique_ptr<PictureSource>& entry) {
    if (!entry)
        return;
    if (m_entryRemoved)
        m_entryRemoved(*entry);
    m_budget.forget(*entry);
    m_requested.erase(entry.get());
    m_previewAsked.erase(entry.get());
    m_cache.remove(*entry);
    entry.reset();
}

std::string FolderDocument::folderAndMask() const {
    std::string text = m_folder;
    if (text != "/")
        text += '/';
    text += m_mask;
    return text;
}

ScanRequest FolderDocument::requestFromDocument() const {
    ScanRequest r;
    r.folder = m_folder;
    r.mask = m_mask;
    r.archives = m_options.archive;
    r.subFolders = m_options.downScan;
    r.useStoredInformation = m_options.cacheFolder;
    r.useMask = m_options.filterFileName;
    r.dateFilter = m_options.filterFileDate;
    r.dateFrom = m_options.dateFrom;
    r.dateTo = m_options.dateTo;
    r.sizeFilter = m_options.filterFileSize;
    r.sizeMinimum = m_options.sizeMinimum;
    r.sizeMaximum = m_options.sizeMaximum;
    r.interruptible = true;
    return r;
}

void FolderDocument::openFolder(const std::optional<std::string>& path, DocumentView* sender,
                                bool useCache) {
    m_useCache = useCache;
    if (path && *path == folderAndMask() && !m_folder.empty()) {
        updateAllViews(sender, hint::RedrawAll{m_folder});
        return;
    }
    clear(true);
    updateAllViews(sender, hint::ListEmptied{m_folder});

    ScanRequest request;
    const auto status = path ? fileStatus(*path) : std::nullopt;
    if (path && !hasWildcard(*path) && !namePart(*path).empty() && status && status->isFile) {
        // One archive (or picture) file opened as a folder lists only itself.
        m_folder = folderPart(*path);
        m_mask = namePart(*path);
        request = requestFromDocument();
        request.archives = true;
        request.subFolders = false;
        request.useStoredInformation = useCache;
        request.useMask = true;
    } else {
        if (path) {
            m_folder = *path;
            while (m_folder.size() > 1 && m_folder.back() == '/')
                m_folder.pop_back();
        }
        m_mask = m_options.pathMask.empty() ? std::string("*.*") : m_options.pathMask;
        request = requestFromDocument();
        request.useStoredInformation = useCache;
    }
    scan(request);
    finishOpening(sender);
}

void FolderDocument::finishOpening(DocumentView* sender) {
    updateAllViews(sender, hint::ScanFinished{m_folder});
    addHistory(folderAndMask());
    setTitle(folderAndMask());
}

void FolderDocument::openDocumentPath(const std::string& path) {
    if (isExistingFile(path))
        m_fileToShow = path;
    std::string folder = path;
    while (folder.find('/') != std::string::npos) {
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (isExistingFolder(folder) || folder == "/")
            break;
        folder = folderPart(folder);
    }
    m_folder = folder;
}

ScanRequest FolderDocument::refreshRequest(bool interruptible) const {
    ScanRequest request = requestFromDocument();
    request.useStoredInformation = false;
    request.reserved = 1;
    request.interruptible = interruptible;
    if (isExistingFile(folderAndMask())) {
        // An archive opened as a folder stays listed the way it was opened.
        request.archives = true;
        request.useMask = true;
        request.subFolders = false;
    }
    return request;
}

void FolderDocument::refresh(bool interruptible) {
    dropThumbnailJobs();
    // The entries go or move: the budget must not follow them.
    m_budget.clear();
    {
        std::lock_guard guard(m_lock);
        for (auto& entry : m_entries)
            m_previous.push_back(std::move(entry));
        // Entries a filter held back are found again like the others.
        if (m_record) {
            for (auto& entry : m_record->held)
                m_previous.push_back(std::move(entry));
            m_record.reset();
        }
        m_entries.clear();
        m_displayOrder.clear();
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    updateAllViews(nullptr, hint::ListEmptied{m_folder});

    ScanRequest request = refreshRequest(interruptible);
    m_useCache = false;
    scan(request);
    selectedCount(true);
    {
        std::lock_guard guard(m_lock);
        for (auto& entry : m_previous)
            destroyEntry(entry);
        m_previous.clear();
    }
    finishOpening(nullptr);
}

void FolderDocument::refreshIfCurrent(const std::string& folder) {
    if (!m_folder.empty() && folder == m_folder)
        refresh(false);
}

void FolderDocument::clear(bool destroy) {
    dropThumbnailJobs();
    // The entries go or move: the budget must not follow them.
    m_budget.clear();
    m_scanning = true;
    {
        std::lock_guard guard(m_lock);
        if (destroy) {
            if (m_options.autoCacheFolder)
                saveThumbnails(nullptr);
            // Records of the entries about to go stay in the files.
            m_cache.closeAll();
            for (auto& entry : m_entries)
                destroyEntry(entry);
            if (m_record) {
                for (auto& entry : m_record->held)
                    destroyEntry(entry);
            }
        }
        m_record.reset();
        m_entries.clear();
        m_displayOrder.clear();
        m_selectedCount = 0;
        m_handedOut = nullptr;
        m_handedOutPosition = -1;
    }
    m_scanning = false;
    if (destroy)
        saveOptions();
}

PictureSource* FolderDocument::entryAt(int position) {
    if (position == m_handedOutPosition && m_handedOut)
        return m_handedOut;
    if (position < 0 || position >= displayedCount())
        return nullptr;
    std::lock_guard guard(m_lock);
    PictureSource* entry =
        m_entries[static_cast<std::size_t>(m_displayOrder[static_cast<std::size_t>(position)])]
            .get();
    entry->appearance = m_appearance;
    m_handedOut = entry;
    m_handedOutPosition = position;
    return entry;
}

int FolderDocument::entryIndexAt(int position) const {
    if (position < 0 || position >= displayedCount())
        return -1;
    return m_displayOrder[static_cast<std::size_t>(position)];
}

void FolderDocument::setEntryIndexAt(int position, int index) {
    if (position < 0 || position >= displayedCount() || index < 0 || index >= entryCount())
        return;
    m_displayOrder[static_cast<std::size_t>(position)] = index;
    // The hand-out cache is by position; sorting moves entries under it.
    m_handedOut = nullptr;
    m_handedOutPosition = -1;
}

void FolderDocument::removeEntry(int position) {
    if (position < 0 || position >= displayedCount())
        return;
    std::lock_guard guard(m_lock);
    const int index = m_displayOrder[static_cast<std::size_t>(position)];
    m_displayOrder.erase(m_displayOrder.begin() + position);
    PictureSource& entry = *m_entries[static_cast<std::size_t>(index)];
    if (entry.isSelected())
        --m_selectedCount;
    if (m_entryRemoved)
        m_entryRemoved(entry);
    m_cache.remove(entry);
    // A thumbnail on its way for it is dropped when it comes.
    m_requested.erase(&entry);
    // Every later position moved down by one, so the cache is stale even
    // when it held another entry.
    m_handedOut = nullptr;
    m_handedOutPosition = -1;
    keepFocusOnItsEntry();
}

void FolderDocument::setFocus(int position) {
    if (position == m_focus)
        return;
    if (m_focus >= 0) {
        PictureSource* old = nullptr;
        if (m_focus < displayedCount() && entryIndexAt(m_focus) == m_focusIndex)
            old = m_entries[static_cast<std::size_t>(m_focusIndex)].get();
        for (int i = 0; !old && i < displayedCount(); ++i) {
            PictureSource* e = m_entries[static_cast<std::size_t>(entryIndexAt(i))].get();
            if (e->isFocused())
                old = e;
        }
        if (old)
            old->state &= ~PictureSource::kFocused;
        updateAllViews(nullptr, hint::FocusChanged{false, m_focus});
    }
    m_focus = -1;
    m_focusIndex = -1;
    if (position >= 0 && position < displayedCount()) {
        m_focusIndex = entryIndexAt(position);
        m_entries[static_cast<std::size_t>(m_focusIndex)]->state |= PictureSource::kFocused;
        m_focus = position;
        updateAllViews(nullptr, hint::FocusChanged{true, position});
    }
}

PictureSource* FolderDocument::setSelected(int position, unsigned flags) {
    if (position < 0 || position >= displayedCount())
        return nullptr;
    PictureSource* entry = m_entries[static_cast<std::size_t>(entryIndexAt(position))].get();
    const bool want = flags & PictureSource::kSelected;
    if (want != entry->isSelected()) {
        entry->state ^= PictureSource::kSelected;
        m_selectedCount += want ? 1 : -1;
    }
    return entry;
}

int FolderDocument::selectedCount(bool recount) {
    if (recount) {
        m_selectedCount = 0;
        for (int index : m_displayOrder)
            m_selectedCount += m_entries[static_cast<std::size_t>(index)]->isSelected() ? 1 : 0;
    }
    return m_selectedCount;
}

int FolderDocument::hitTest(int x, int y) const {
    for (int i = 0; i < displayedCount(); ++i) {
        const PictureSource& e = *m_entries[static_cast<std::size_t>(entryIndexAt(i))];
        if (e.cellX == PictureSource::kNotPlaced)
            continue;
        if (x >= e.cellX && x < e.cellX + m_thumbnailSize.first && y >= e.cellY &&
            y < e.cellY + m_thumbnailSize.second)
            return i;
    }
    return -1;
}

void FolderDocument::remakeThumbnails() {
    dropThumbnailJobs();
    const auto remake = [this](PictureSource& e) {
        e.drawing = drawingOptions();
        e.clear();
        e.useCacheFirst = false;
    };
    for (int index : m_displayOrder)
        remake(*m_entries[static_cast<std::size_t>(index)]);
    // Those a filter holds back come back made again too, as after a rescan.
    if (m_record) {
        for (auto& entry : m_record->held)
            remake(*entry);
    }
    updateAllViews(nullptr, hint::RedrawAll{m_folder});
}

void FolderDocument::addHistory(const std::string& text) {
    if (m_historyMove)
        return;
    m_history.resize(static_cast<std::size_t>(m_historyPosition + 1));
    m_history.push_back(text);
    m_historyPosition = static_cast<int>(m_history.size()) - 1;
}

void FolderDocument::moveHistory(int position) {
    if (position < 0 || position >= static_cast<int>(m_history.size()))
        return;
    m_historyPosition = position;
    m_historyMove = true;
    const std::string text = m_history[static_cast<std::size_t>(position)];
    if (!hasWildcard(text) && isExistingFile(text)) {
        updateAllViews(nullptr, hint::SelectFolder{text});
    } else {
        m_options.pathMask = namePart(text);
        updateAllViews(nullptr, hint::SelectFolder{folderPart(text)});
    }
    m_historyMove = false;
}

void FolderDocument::historyBack() {
    if (canGoBack())
        moveHistory(m_historyPosition - 1);
}

void FolderDocument::historyForward() {
    if (canGoForward())
        moveHistory(m_historyPosition + 1);
}

} // namespace vemra
