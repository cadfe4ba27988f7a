#pragma once

#include "document/cell_thumbnail.h"
#include "document/document_options.h"
#include "document/picture_source.h"
#include "document/scan_request.h"
#include "document/thumbnail_budget.h"
#include "framework/command_target.h"
#include "framework/document_base.h"
#include "framework/entry_lock.h"
#include "framework/selection_tally.h"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace vemra {

class PictureLoader;
class ProgressSink;
struct DisplayFilter;
class ScanServices;
struct ScanRecord;
class SettingsStore;
class ThumbCache;
class ThumbnailMaker;
class ThumbnailWorkers;
class ExifPreviews;
class WorkerPool;

// The folder document: the pictures of the open folder (plain files, archive
// members, optionally those of sub-folders), the order in which views show
// them, the focus and the selection, and the history of visited folders.
// Views reach entries only by display position and learn of changes through
// update hints. Everything runs on the user-interface thread; the entry lock
// guards the lists against the rare reader on another thread.
class FolderDocument : public DocumentBase, public CommandTarget {
public:
    // `services` answers every question about decoders and `cache` keeps
    // the thumbnail-cache files of the folders shown; both must outlive the
    // document.
    FolderDocument(const ScanServices& services, ThumbCache& cache, DocumentOptions options = {});
    ~FolderDocument() override;

    DocumentOptions& options() { return m_options; }
    const DocumentOptions& options() const { return m_options; }
    // Where the options are written back: each time the document is emptied
    // (before another folder opens, at exit), when it is destroyed, and by
    // saveOptions() after an options dialog. Null (the default) writes
    // nothing; the store must outlive the document.
    void setSettingsStore(SettingsStore* store) {
        m_store = store;
        m_savedOptions.clear();
    }
    void saveOptions();
    ThumbCache& thumbCache() { return m_cache; }

    // Asked after every file during an interruptible scan; true stops it.
    // The GUI answers from the input it swallowed meanwhile.
    void setInterruptionCheck(std::function<bool()> check) { m_interrupted = std::move(check); }
    // Shows the reading of folder-information files; may be null.
    void setProgressSink(ProgressSink* sink) { m_progress = sink; }
    // Told before an entry is destroyed or removed from display, so the
    // thumbnail cache can drop its record.
    void setEntryRemovedListener(std::function<void(const PictureSource&)> listener) {
        m_entryRemoved = std::move(listener);
    }

    // --- opening, scanning, refreshing
    void openFolder(const std::optional<std::string>& path, DocumentView* sender, bool useCache);
    // The path given at start-up or from the recent-file list: a file is
    // remembered to be shown after the next scan; the nearest existing folder
    // becomes the current folder.
    void openDocumentPath(const std::string& path);
    void refresh(bool interruptible);
    // Refreshes only when `folder` is the current folder.
    void refreshIfCurrent(const std::string& folder);
    void clear(bool destroy);
    // A request filled from the current folder, mask and options.
    ScanRequest requestFromDocument() const;
    int scan(ScanRequest& request);
    // Takes the display filter of the dialog: its mask becomes PathMask and
    // the current mask, its switches, days and sizes the scan's limits. When
    // any of them changed, an open folder is listed again as a refresh would
    // list it (the views are told as of a refresh): from the entries of the
    // last scan when the filter only takes away from what that scan was
    // asked for and none of the folders it read changed since; otherwise by
    // a refresh, which the user may interrupt. True when changed.
    bool applyDisplayFilter(const DisplayFilter& filter);

    const std::string& currentFolder() const { return m_folder; }
    const std::string& currentMask() const { return m_mask; }
    const std::string& fileToShow() const { return m_fileToShow; }
    void clearFileToShow() { m_fileToShow.clear(); }
    bool isScanning() const { return m_scanning; }
    bool useCache() const { return m_useCache; }
    // What identifies entries' decoders and reads their pixel data.
    const ScanServices& services() const { return m_services; }
    // The thumbnail cell size now in use (a folder-information file may set it).
    IntPair thumbnailSize() const { return m_thumbnailSize; }
    // A size the user chose: it is also what the options save as ThumbsSize,
    // so the next start opens with it. (A folder-information file's size
    // belongs to its folder and is not kept this way.)
    void setThumbnailSize(IntPair size) {
        m_thumbnailSize = size;
        m_options.thumbsSize = size;
    }

    // --- entries by display position
    int displayedCount() const { return static_cast<int>(m_displayOrder.size()); }
    PictureSource* entryAt(int position);
    int entryIndexAt(int position) const;
    void setEntryIndexAt(int position, int index);
    // Puts the displayed entries in a new order: display position i shows
    // entry `entryIndexes[i]`. The list must hold each displayed entry once
    // (a sorted copy of the display order); anything else changes nothing
    // and gives false. The focus stays on its entry; the views then redraw
    // (RedrawAll, not sent to `sender`).
    bool setDisplayOrder(std::span<const int> entryIndexes, DocumentView* sender);
    int entryCount() const { return static_cast<int>(m_entries.size()); }
    void removeEntry(int position);
    // Removes the entries at `positions` (any order; out-of-range and
    // repeated ones are passed over) in one pass over the display order (the
    // focus follows its entry, or is dropped when it went), then
    // tells the views of each, from the last position to the first (hint 17
    // each, not sent to `sender`), as removing them one at a time would. The
    // number removed.
    int removeEntries(std::span<const int> positions, DocumentView* sender);
    void setFocus(int position);
    int focusedPosition() const { return m_focus; }
    PictureSource* setSelected(int position, unsigned flags);
    int selectedCount(bool recount);
    // "全選択": with more than one entry selected, deselects them all;
    // otherwise selects every entry. The views are told once.
    void selectAll();
    // Sets or clears the selected flag of display positions [first, last]
    // (clamped to the displayed ones) without telling the views; the
    // caller tells them once with the tally (tellSelection).
    SelectionTally setSelectedRange(int first, int last, bool selected);
    // Clears every selected flag but that of `except`, walking only as far
    // as selected entries remain; the views are not told.
    SelectionTally deselectAll(int except = -1);
    // Tells the views (but `sender`) of one action's selection changes.
    void tellSelection(DocumentView* sender, const SelectionTally& tally);
    int hitTest(int x, int y) const;
    void remakeThumbnails();
    // "選択 …", "全 …" and the drive line of the status bar.
    std::array<std::string, 3> statusSummary() const;
    // Copies the options' colours and font into entries as they are handed out.
    void setAppearance(const EntryAppearance& appearance) {
        m_appearance = std::make_shared<const EntryAppearance>(appearance);
    }
    // After the thumbnail options changed (colours, font, frames, scaling,
    // sharpening): every entry takes them and the views redraw.
    void applyThumbnailOptions();
    // The desktop's display profile (empty: none), read by the windows at
    // start and when the screen changes; applies at once.
    void setDesktopColourProfile(std::vector<std::byte> profile);
    // Where pictures are converted to for display; null: unmanaged.
    const std::shared_ptr<const DisplayColour>& displayColour() const { return m_displayColour; }

    // --- thumbnails (folder_document_thumbs.cpp)
    // How thumbnails are decoded; null (the default) leaves only the cache.
    // The loader must outlive the document. The sharpening options are taken
    // now: call again after changing them.
    void setPictureLoader(PictureLoader* loader);
    // Writes the archive member at display `position` to the file `path`
    // through the loader; a result code (failure without a loader or for a
    // plain file).
    int extractMember(int position, const std::string& path);
    PictureLoader* pictureLoader() const { return m_loader; }
    // The decision taken for each cell the grid draws (see
    // prepareCellThumbnail), with the entry's note loaded on first drawing.
    // An out-of-range position gives nothing.
    CellThumbnail prepareThumbnail(int position, const CellGeometry& cell, bool mayMake);
    // The same decision, with the making left to the worker threads: a
    // thumbnail that is in memory or in the cache is there at once; one to
    // be made is asked of the workers (once per entry until its result is
    // taken), visible cells before the rest and the latest visible pass
    // first, and the outcome says it is pending. Interface thread only.
    CellThumbnail requestThumbnail(int position, const CellGeometry& cell, bool visible);
    // A new pass over the visible cells begins: its requests go before those
    // of earlier passes.
    void beginVisiblePass() { ++m_visiblePass; }
    // Takes the finished thumbnails until none is left or `shouldStop`
    // answers true, and gives each to its entry when it is still the same
    // entry at the same display position, the cell is still `cell`, its
    // drawing options are those it was made with and it got no thumbnail
    // meanwhile (anything else is dropped and asked again when next drawn).
    // An applied thumbnail is stored at once with CacheFolder, as when it is
    // made on this thread; `applied` learns each position that got one.
    // Returns how many results were taken.
    int applyThumbnailResults(const CellGeometry& cell, const std::function<void(int)>& applied,
                              const std::function<bool()>& shouldStop);
    // Forgets the thumbnail of the entry at `position` and what was learnt
    // from its file (not from the cache next time); one on its way is
    // dropped when it comes.
    void forgetThumbnail(int position);
    // The request on its way for the entry at `position` (if any) is dropped
    // when its result comes: the file it reads was renamed or replaced. The
    // entry keeps the thumbnail it has; without one it is asked again when
    // next drawn.
    void dropThumbnailRequest(int position);
    // Requests handed out whose results were not taken yet.
    int thumbnailJobsOutstanding() const;
    int thumbnailWorkerCount() const;
    // Called on a worker thread when a result waits to be taken and none did
    // before: it must only wake the interface thread. Empty clears it.
    void setThumbnailNotifier(std::function<void()> notifier);
    // Waits up to `timeout` for a result (batch tools and tests).
    bool waitForThumbnailResults(std::chrono::milliseconds timeout);
    // Forgets every request handed out: queued ones are cancelled, the
    // results of running ones are dropped when they come.
    void dropThumbnailJobs();
    // Asks for the EXIF thumbnail of a camera JPEG whose cell waits for its
    // thumbnail (with ExifThumbnailFirst); applyThumbnailResults shows it.
    void requestExifPreview(PictureSource& entry, int position, const CellGeometry& cell);
    // The worker threads the document decodes on (null without a loader);
    // the viewers' look-ahead shares them.
    WorkerPool* workerPool() { return m_pool.get(); }
    // The same pool for a batch that outlives a change of it: the batch
    // keeps the threads it began on (they go when it ends), while the
    // document goes on with new ones.
    std::shared_ptr<WorkerPool> sharedWorkerPool() { return m_pool; }

    // While one lives, nothing decodes on the workers: the decodes running
    // when it was made have finished, the queued ones wait and then decode
    // with whatever the decoders' settings have become. Taken while plug-ins
    // or built-in decoders are switched on or off. Interface thread only.
    class DecodingHold {
    public:
        explicit DecodingHold(FolderDocument& document);
        ~DecodingHold();
        DecodingHold(const DecodingHold&) = delete;
        DecodingHold& operator=(const DecodingHold&) = delete;

    private:
        FolderDocument& m_document;
    };
    [[nodiscard]] DecodingHold holdDecoding() { return DecodingHold(*this); }
    bool decodingHeld() const { return m_decodingHolds > 0; }

    // --- the memory budget of the thumbnails held by entries
    // The entry at `position` was drawn: its thumbnail is the most recent.
    void noteThumbnailDrawn(int position);
    // Past the budget (ThumbMemoryMB), drops the least recently drawn
    // thumbnails outside display positions [firstKept, lastKept]; those in
    // the cache come back from it when drawn, the others are made again.
    // A thumbnail not yet stored is stored first when the cache is in use.
    int enforceThumbnailBudget(int firstKept, int lastKept);
    std::size_t thumbnailBytesHeld() const { return m_budget.used(); }

    // "サムネイル情報を保存": stores every displayed entry's thumbnail that is
    // not in the cache yet, then writes every open cache file. `progress`
    // (may be null) shows one step per entry and may stop the storing; what
    // was stored until then is still written. False when stopped or when a
    // file could not be written.
    bool saveThumbnails(ProgressSink* progress);

    // --- the document's own commands (menu command ids)
    static constexpr int kCmdArchive = 32779; // "書庫ファイル内も表示対象(&U)"
    static constexpr int kCmdDownScan = 10110; // "サブフォルダのファイルも表示対象(&F)"
    static constexpr int kCmdSynchronous = 10048;      // "表示の同期(&S)"
    static constexpr int kCmdSelectAll = 32793;        // "全選択(&A)"
    static constexpr int kCmdRefresh = 10072;          // "最新の情報に更新(&R)..."
    static constexpr int kCmdRemakeThumbnails = 10071; // "サムネイル再作成(&U)"
    static constexpr int kCmdSaveThumbnails = 10074;   // "サムネイル情報を保存(&W)..."
    static constexpr int kCmdHistoryBack = 10124;      // "前のﾌｫﾙﾀﾞへ"
    static constexpr int kCmdHistoryForward = 10125;   // "次のﾌｫﾙﾀﾞへ"
    using CommandState = vemra::CommandState;
    // The enabling rule of command `id`, or nullopt when the document does
    // not handle it (routing then goes on to the frame).
    std::optional<CommandState> commandState(int id) const override;
    // Runs command `id`; false when the document does not handle it.
    bool onCommand(int id) override;

    // --- folder history
    const std::vector<std::string>& history() const { return m_history; }
    int historyPosition() const { return m_historyPosition; }
    bool canGoBack() const { return m_historyPosition > 0; }
    bool canGoForward() const { return m_historyPosition + 1 < static_cast<int>(m_history.size()); }
    void historyBack();
    void historyForward();
    // Moves to history entry `position` (the tool bar's history menus).
    void goToHistory(int position) { moveHistory(position); }

private:
    using EntryList = std::vector<std::unique_ptr<PictureSource>>;
    struct ScanState;

    PictureSource newEntryPrototype() const;
    EntryDrawingOptions drawingOptions() const;
    void destroyEntry(std::unique_ptr<PictureSource>& entry);
    void addHistory(const std::string& text);
    void moveHistory(int position);
    void finishOpening(DocumentView* sender);
    void keepFocusOnItsEntry();
    std::string folderAndMask() const;

    int scanFolder(ScanRequest& request, const std::string& folder, const std::string& mask,
                   ScanState& state);
    int addFile(ScanState& state, std::unique_ptr<PictureSource> found);
    // Lists the members of the file when `archiveDecoder` takes it;
    // `listFailed` when the decoder did not list it cleanly.
    int addArchive(ScanRequest& request, ScanState& state, const std::string& folder,
                   const std::string& name, const struct FileStatus& status,
                   DecoderId archiveDecoder, bool& isArchive, bool& listFailed);
    void buildDisplayOrder(const ScanRequest& request);
    // The request a refresh scans with.
    ScanRequest refreshRequest(bool interruptible) const;
    // Keeps what a complete scan found for filters applied later.
    void recordScan(const ScanRequest& request, ScanState& state);
    // Destroys the entries a filter holds back and forgets the record.
    void dropScanRecord();
    // Whether the record holds everything a scan by `request` would find.
    bool recordCovers(const ScanRequest& request) const;
    // Lists the recorded entries that a scan by `request` would list.
    void listFromRecord(const ScanRequest& request);
    bool interruptionPending(const ScanRequest& request) const;
    void publishCacheFolder();

    const ScanServices& m_services;
    ThumbCache& m_cache;
    SettingsStore* m_store = nullptr;
    // The option texts last written, so that opening folder after folder
    // does not rewrite the settings file when nothing changed.
    std::vector<std::string> m_savedOptions;
    DocumentOptions m_options;
    std::shared_ptr<const EntryAppearance> m_appearance;
    std::vector<std::byte> m_desktopColourProfile;
    std::shared_ptr<const DisplayColour> m_displayColour;
    EntryLock m_lock;
    EntryList m_entries;
    EntryList m_previous;
    // What the last complete scan found (see ScanRecord); null when there is
    // none to go by.
    std::unique_ptr<ScanRecord> m_record;
    std::vector<int> m_displayOrder;
    std::string m_folder;
    std::string m_mask = "*.*";
    int m_focus = -1;
    int m_focusIndex = -1;
    int m_selectedCount = 0;
    PictureSource* m_handedOut = nullptr;
    int m_handedOutPosition = -1;
    bool m_scanning = false;
    bool m_useCache = false;
    IntPair m_thumbnailSize;
    std::vector<std::string> m_history;
    int m_historyPosition = -1;
    bool m_historyMove = false;
    std::string m_fileToShow;
    std::function<bool()> m_interrupted;
    std::function<void(const PictureSource&)> m_entryRemoved;
    ProgressSink* m_progress = nullptr;
    PictureLoader* m_loader = nullptr;
    std::unique_ptr<ThumbnailMaker> m_maker;
    std::shared_ptr<WorkerPool> m_pool;
    int m_decodingHolds = 0;
    std::unique_ptr<ThumbnailWorkers> m_workers;
    // Cameras' EXIF thumbnails, shown until the real ones come; the entries
    // asked for, so each is asked once.
    std::unique_ptr<ExifPreviews> m_previews;
    std::unordered_map<const void*, bool> m_previewAsked;
    // The requests out, by entry: the ticket of the latest one. A result is
    // applied only when its ticket is still here.
    std::unordered_map<const void*, std::uint64_t> m_requested;
    std::uint64_t m_nextTicket = 1;
    int m_visiblePass = 1;
    std::function<void()> m_thumbnailNotifier;
    ThumbnailBudget m_budget;
};

} // namespace vemra
