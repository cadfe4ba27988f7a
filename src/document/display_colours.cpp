#include "document/display_colours.h"

#include "document/picture_source.h"
#include "imaging/embedded_profile.h"
#include "platform/mapped_file.h"

namespace vemra {

std::vector<std::byte> readColourProfileFile(const std::string& path) {
    const std::optional<MappedFile> file = MappedFile::open(path);
    if (!file || file->size() > kMaxColourProfileBytes)
        return {};
    return std::vector<std::byte>(file->bytes().begin(), file->bytes().end());
}

std::shared_ptr<const DisplayColour>
chooseDisplayColour(bool managed, const std::string& profileFile,
                    std::span<const std::byte> desktopProfile,
                    const std::shared_ptr<const DisplayColour>& previous) {
    if (!managed)
        return nullptr;
    std::shared_ptr<const DisplayColour> chosen;
    if (!profileFile.empty())
        chosen = DisplayColour::fromProfile(readColourProfileFile(profileFile));
    if (!chosen && !desktopProfile.empty())
        chosen = DisplayColour::fromProfile(desktopProfile);
    if (!chosen)
        chosen = DisplayColour::srgb();
    if (previous && previous->mark() == chosen->mark() &&
        previous->profileHash() == chosen->profileHash())
        return previous;
    return chosen;
}

void convertForDisplay(PictureBuffer& picture, const PictureSource& entry) {
    const std::shared_ptr<const DisplayColour>& target = entry.drawing.colour;
    if (!target || !picture)
        return;
    std::vector<std::byte> embedded;
    if (!entry.isArchiveMember())
        embedded = embeddedColourProfile(entry.fullPath());
    convertToDisplay(picture, embedded, *target);
}

void convertForDisplay(PictureBuffer& picture, const PictureSource& entry,
                       std::span<const std::byte> embedded) {
    if (entry.drawing.colour && picture)
        convertToDisplay(picture, embedded, *entry.drawing.colour);
}

} // namespace vemra
