#include "document/photo_facts.h"

#include "document/picture_loader.h"
#include "document/picture_source.h"
#include "imaging/colour_management.h"
#include "imaging/embedded_profile.h"
#include "imaging/orientation.h"
#include "imaging/photo_metadata.h"

namespace vemra {
namespace {

// Archive members are unpacked a second time for their metadata; beyond this
// size that costs more than the orientation is worth.
constexpr std::uint64_t kMaxMemberBytes = 64u << 20;

} // namespace

void learnPhotoFacts(PictureSource& entry, const PhotoMetadata& metadata) {
    entry.orientation = metadata.orientationToApply();
    entry.dateTaken = metadata.dateTaken;
    entry.cameraModel = metadata.camera();
}

void learnPhotoFacts(PictureSource& entry, PictureLoader* loader) {
    if (entry.orientation != 0)
        return;
    PhotoMetadataRequest request;
    request.iccProfile = false;
    if (!entry.isArchiveMember()) {
        learnPhotoFacts(entry, readPhotoMetadata(entry.fullPath(), request));
        return;
    }
    std::vector<std::byte> bytes;
    if (loader != nullptr && entry.length <= kMaxMemberBytes &&
        loader->extractMember(entry, bytes) == 0) {
        learnPhotoFacts(entry, readPhotoMetadata(bytes, request));
        return;
    }
    entry.orientation = 1;
}

void learnPhotoFacts(PictureSource& entry, PictureLoader* loader, std::vector<std::byte>& profile) {
    profile.clear();
    if (entry.isArchiveMember()) {
        learnPhotoFacts(entry, loader);
        return;
    }
    if (entry.orientation != 0) {
        profile = embeddedColourProfile(entry.fullPath());
        return;
    }
    PhotoMetadata metadata = readPhotoMetadata(entry.fullPath());
    learnPhotoFacts(entry, metadata);
    if (metadata.iccProfile.size() <= kMaxColourProfileBytes)
        profile = std::move(metadata.iccProfile);
}

int shownOrientation(const PictureSource& entry) {
    return entry.drawing.autoRotate && entry.orientation > 1 ? entry.orientation : 1;
}

PictureSize uprightPictureSize(const PictureSource& entry) {
    return uprightSize(entry.pictureWidth, entry.pictureHeight, shownOrientation(entry));
}

PictureBuffer orientedForEntry(PictureBuffer decoded, const PictureSource& entry) {
    return orientPicture(std::move(decoded), shownOrientation(entry));
}

void makeUpright(PictureSource& entry, PictureLoader* loader, PictureBuffer& picture) {
    if (!picture)
        return;
    learnPhotoFacts(entry, loader);
    picture = orientedForEntry(std::move(picture), entry);
}

} // namespace vemra
