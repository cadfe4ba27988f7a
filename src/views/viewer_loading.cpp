#include "views/viewer_loading.h"

#include "document/display_colours.h"
#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "imaging/decoder.h"
#include "platform/mapped_file.h"
#include "platform/worker_pool.h"
#include "views/viewer_photo.h"

#include <algorithm>

namespace vemra {
namespace {

// An animated picture is held in memory whole; larger files are shown as
// still pictures.
constexpr std::size_t kLargestAnimationFile = std::size_t{64} << 20;

std::string identityOf(const PictureSource& entry) {
    return entry.isArchiveMember() ? entry.archiveFullPath() + '\n' + entry.fileName
                                   : entry.fullPath();
}

std::unique_ptr<FrameAnimation> loadAnimation(FolderDocument& document,
                                              const PictureSource& entry) {
    std::vector<std::byte> bytes;
    if (entry.isArchiveMember()) {
        PictureLoader* loader = document.pictureLoader();
        if (loader == nullptr || loader->extractMember(entry, bytes) != 0)
            return nullptr;
    } else {
        const auto file = MappedFile::open(entry.fullPath());
        if (!file)
            return nullptr;
        bytes.assign(file->bytes().begin(), file->bytes().end());
    }
    if (bytes.size() > kLargestAnimationFile)
        return nullptr;
    auto animation = std::make_unique<FrameAnimation>();
    if (!animation->open(std::move(bytes)))
        return nullptr;
    return animation;
}

// What the viewer's read of the metadata teaches the document's entry.
void learnFromLoaded(PictureSource& entry, const LoadedPicture& loaded) {
    if (loaded.code != 0)
        return;
    entry.orientation = loaded.entry.orientation;
    entry.dateTaken = loaded.entry.dateTaken;
    entry.cameraModel = loaded.entry.cameraModel;
}

} // namespace

bool entryAvailable(FolderDocument& document, int position) {
    return position >= 0 && position < document.displayedCount() &&
           document.entryIndexAt(position) >= 0;
}

bool mayAnimate(const PictureSource& entry) {
    return entry.decoder == kGifDecoderId || entry.decoder == kGif2DecoderId;
}

LoadedPicture loadViewerPicture(FolderDocument& document, int position, bool animate) {
    LoadedPicture loaded;
    loaded.position = position;
    PictureSource* entry = document.entryAt(position);
    PictureLoader* loader = document.pictureLoader();
    if (entry == nullptr)
        return loaded;
    if (loader != nullptr)
        loaded.code = loader->loadForThumbnail(*entry, 0, 0, loaded.picture);
    if (loaded.code != 0)
        loaded.picture = {};
    loaded.entry = *entry;
    if (animate && loaded.code == 0 && mayAnimate(*entry))
        loaded.animation = loadAnimation(document, *entry);
    applyPhotoMetadata(loaded, loader);
    // The profile comes from the same read as the orientation, so members
    // of archives are shown in display colours too; so is every frame of
    // an animation, which is what is shown while it plays.
    convertForDisplay(loaded.picture, loaded.entry, loaded.metadata.iccProfile);
    if (loaded.animation)
        loaded.animation->setDisplayColours(loaded.entry.drawing.colour,
                                            loaded.metadata.iccProfile);
    learnFromLoaded(*entry, loaded);
    return loaded;
}

namespace {
// Every look-ahead alive, in the order they were made.
std::vector<PictureLookAhead*>& liveLookAheads() {
    static std::vector<PictureLookAhead*> all;
    return all;
}
} // namespace

PictureLookAhead::PictureLookAhead(FolderDocument& document) : m_document(document) {
    liveLookAheads().push_back(this);
}

PictureLookAhead::~PictureLookAhead() {
    std::erase(liveLookAheads(), this);
}

bool PictureLookAhead::idleStepAll(const std::function<bool()>& shouldStop) {
    // A copy: a step may close a window and with it a look-ahead.
    const std::vector<PictureLookAhead*> all = liveLookAheads();
    for (PictureLookAhead* lookAhead : all) {
        if (std::find(liveLookAheads().begin(), liveLookAheads().end(), lookAhead) !=
                liveLookAheads().end() &&
            lookAhead->idleStep(shouldStop))
            return true;
    }
    return false;
}

void PictureLookAhead::clear() {
    if (m_started) {
        if (WorkerPool* pool = m_document.workerPool())
            pool->cancel(reinterpret_cast<std::uintptr_t>(this));
    }
    m_position = -1;
    m_path.clear();
    m_slot.reset();
    m_started = false;
}

bool PictureLookAhead::samePicture(int position) const {
    const PictureSource* entry = m_document.entryAt(position);
    return entry != nullptr && position == m_position && identityOf(*entry) == m_path;
}

void PictureLookAhead::want(int position) {
    if (position == m_position && samePicture(position))
        return;
    clear();
    const PictureSource* entry = m_document.entryAt(position);
    if (entry == nullptr || mayAnimate(*entry))
        return;
    m_position = position;
    m_path = identityOf(*entry);
}

bool PictureLookAhead::idleStep(const std::function<bool()>&) {
    if (m_position < 0 || m_started)
        return false;
    if (!samePicture(m_position)) {
        clear();
        return false;
    }
    PictureSource* entry = m_document.entryAt(m_position);
    PictureLoader* loader = m_document.pictureLoader();
    WorkerPool* pool = m_document.workerPool();
    if (loader == nullptr || pool == nullptr) {
        clear();
        return false;
    }
    m_started = true;
    m_slot = std::make_shared<Slot>();
    auto job = std::make_shared<LoadedPicture>();
    job->position = m_position;
    job->entry = *entry;
    job->entry.thumbnail = {};
    job->entry.cellPicture = {};
    job->entry.iconPicture = {};
    // Ahead of the thumbnails: the user is about to see this one.
    constexpr int kBeforeThumbnails = 1 << 30;
    pool->submit(reinterpret_cast<std::uintptr_t>(this), kBeforeThumbnails,
                 [slot = m_slot, loader, job] {
                     const auto use = loader->workerUse();
                     job->code = loader->loadForThumbnail(job->entry, 0, 0, job->picture);
                     if (job->code != 0)
                         job->picture = {};
                     applyPhotoMetadata(*job, loader);
                     convertForDisplay(job->picture, job->entry, job->metadata.iccProfile);
                     const std::lock_guard lock(slot->mutex);
                     slot->picture = std::move(*job);
                     slot->done.notify_all();
                 });
    return false;
}

bool PictureLookAhead::waitReady(std::chrono::milliseconds timeout) {
    if (!m_slot)
        return false;
    std::unique_lock lock(m_slot->mutex);
    return m_slot->done.wait_for(lock, timeout, [&] { return m_slot->picture.has_value(); });
}

std::optional<LoadedPicture> PictureLookAhead::take(int position) {
    if (!m_slot || !samePicture(position))
        return std::nullopt;
    std::optional<LoadedPicture> out;
    {
        const std::lock_guard lock(m_slot->mutex);
        out = std::move(m_slot->picture);
    }
    if (!out)
        return std::nullopt;
    // An animation found only now is the viewer's to open.
    if (mayAnimate(out->entry)) {
        clear();
        return std::nullopt;
    }
    // The document's entry learns what the decode taught, as when the
    // viewer decodes it itself.
    if (PictureSource* entry = m_document.entryAt(position); entry && out->code == 0) {
        entry->decoder = out->entry.decoder;
        entry->pictureWidth = out->entry.pictureWidth;
        entry->pictureHeight = out->entry.pictureHeight;
        entry->bitCount = out->entry.bitCount;
        entry->infoText = out->entry.infoText;
        learnFromLoaded(*entry, *out);
    }
    clear();
    return out;
}

} // namespace vemra
