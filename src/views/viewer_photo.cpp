#include "views/viewer_photo.h"

#include "document/photo_facts.h"
#include "document/picture_loader.h"
#include "views/viewer_loading.h"

namespace vemra {

void applyPhotoMetadata(LoadedPicture& loaded, PictureLoader* loader) {
    if (loaded.code != 0 || !loaded.picture)
        return;
    PictureSource& entry = loaded.entry;
    if (!entry.isArchiveMember()) {
        loaded.metadata = readPhotoMetadata(entry.fullPath());
    } else if (std::vector<std::byte> bytes;
               loader != nullptr && loader->extractMember(entry, bytes) == 0) {
        loaded.metadata = readPhotoMetadata(bytes);
    }
    learnPhotoFacts(entry, loaded.metadata);
    if (loaded.animation == nullptr)
        loaded.picture = orientedForEntry(std::move(loaded.picture), entry);
}

} // namespace vemra
