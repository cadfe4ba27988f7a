#include "document/written_colours.h"

#include "document/photo_facts.h"
#include "document/picture_source.h"
#include "imaging/embedded_profile.h"
#include "imaging/photo_metadata.h"
#include "imaging/written_profile.h"

namespace vemra {

std::shared_ptr<const DisplayColour> writtenColour(const EntryDrawingOptions& drawing) {
    return drawing.colour ? DisplayColour::srgb() : nullptr;
}

void convertForWriting(PictureBuffer& picture, std::span<const std::byte> embedded, bool managed) {
    if (managed && picture && !embedded.empty())
        convertToDisplay(picture, embedded, *DisplayColour::srgb());
}

void prepareForWriting(PictureSource& entry, PictureLoader* loader, PictureBuffer& picture) {
    if (!picture)
        return;
    if (!entry.drawing.colour || entry.isArchiveMember()) {
        makeUpright(entry, loader, picture);
        return;
    }
    // One metadata read gives the orientation (when not known yet) and the
    // profile.
    const PhotoMetadata metadata = readPhotoMetadata(entry.fullPath());
    if (entry.orientation == 0)
        learnPhotoFacts(entry, metadata);
    picture = orientedForEntry(std::move(picture), entry);
    if (metadata.iccProfile.size() <= kMaxColourProfileBytes)
        convertForWriting(picture, metadata.iccProfile, true);
}

PictureBuffer shownPictureForWriting(const PictureBuffer& shown, const DisplayColour* display) {
    if (display == nullptr || display->isSrgb() || !shown)
        return {};
    PictureBuffer written = shown.duplicate();
    // The display's profile is the one the shown colours are in.
    if (!written || convertToDisplay(written, display->profile(), *DisplayColour::srgb()) !=
                        ColourOutcome::Converted)
        return {};
    return written;
}

bool fileKeepsProfile(std::span<const std::byte> embedded, bool formatCarriesProfile) {
    return formatCarriesProfile && fitsColourFile(embedded);
}

} // namespace vemra
