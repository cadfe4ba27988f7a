#include "views/viewer_loading.h"

#include "document/folder_document.h"
#include "document/picture_loader.h"
#include "imaging/decoder.h"
#include "platform/mapped_file.h"

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
    m_position = -1;
    m_path.clear();
    m_decode.reset();
    m_ready.reset();
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

bool PictureLookAhead::idleStep(const std::function<bool()>& shouldStop) {
    if (m_position < 0 || m_ready)
        return false;
    if (!samePicture(m_position)) {
        clear();
        return false;
    }
    PictureSource* entry = m_document.entryAt(m_position);
    PictureLoader* loader = m_document.pictureLoader();
    if (loader == nullptr) {
        clear();
        return false;
    }
    if (!m_started) {
        m_started = true;
        m_decode = loader->beginThumbnailDecode(*entry, 0, 0);
        if (mayAnimate(*entry)) { // identified just now as an animation
            clear();
            return false;
        }
    }
    LoadedPicture loaded;
    loaded.position = m_position;
    if (m_decode) {
        if (!m_decode->step(shouldStop))
            return true;
        loaded.code = m_decode->finish(*entry, loaded.picture);
        m_decode.reset();
        // A band-wise failure is left to the one-call way with its retries.
        if (loaded.code != 0)
            loaded.code = loader->loadForThumbnail(*entry, 0, 0, loaded.picture);
    } else {
        loaded.code = loader->loadForThumbnail(*entry, 0, 0, loaded.picture);
    }
    if (loaded.code != 0)
        loaded.picture = {};
    loaded.entry = *entry;
    m_ready = std::move(loaded);
    return false;
}

std::optional<LoadedPicture> PictureLookAhead::take(int position) {
    if (!m_ready || !samePicture(position))
        return std::nullopt;
    std::optional<LoadedPicture> out = std::move(m_ready);
    clear();
    return out;
}

} // namespace vemra
