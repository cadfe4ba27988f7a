#include "document/picture_source.h"

namespace vemra {
namespace {

PictureBuffer duplicate(const PictureBuffer& picture) {
    return picture ? PictureBuffer::fromBlock(picture.block()) : PictureBuffer{};
}

} // namespace

PictureSource::PictureSource(const PictureSource& other)
    : decoder(other.decoder), folder(other.folder), fileName(other.fileName), length(other.length),
      creationTime(other.creationTime), lastWriteTime(other.lastWriteTime),
      archiveDecoder(other.archiveDecoder), archiveFileName(other.archiveFileName),
      memberPosition(other.memberPosition), drawnCellWidth(other.drawnCellWidth),
      drawnCellHeight(other.drawnCellHeight), boxWidth(other.boxWidth), boxHeight(other.boxHeight),
      thumbnail(duplicate(other.thumbnail)), cellPicture(duplicate(other.cellPicture)),
      iconPicture(duplicate(other.iconPicture)), preview(duplicate(other.preview)),
      pictureWidth(other.pictureWidth), pictureHeight(other.pictureHeight),
      bitCount(other.bitCount), infoText(other.infoText), noteLoaded(other.noteLoaded),
      note(other.note), state(other.state), cellX(other.cellX), cellY(other.cellY),
      drawing(other.drawing), scaleModeUsed(other.scaleModeUsed), unsharpUsed(other.unsharpUsed),
      colourMarkUsed(other.colourMarkUsed), rotation(other.rotation), fitMode(other.fitMode),
      orientation(other.orientation), autoRotateUsed(other.autoRotateUsed),
      dateTaken(other.dateTaken), cameraModel(other.cameraModel), cached(other.cached),
      cacheTried(other.cacheTried), useCacheFirst(other.useCacheFirst), madeNow(other.madeNow),
      appearance(other.appearance) {}

const std::shared_ptr<const EntryAppearance>& PictureSource::defaultAppearance() {
    static const auto defaults = std::make_shared<const EntryAppearance>();
    return defaults;
}

PictureSource& PictureSource::operator=(const PictureSource& other) {
    if (this != &other) {
        PictureSource copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void PictureSource::clear() {
    decoder = kNoDecoder;
    infoText.clear();
    orientation = 0;
    dateTaken = 0;
    cameraModel.clear();
    thumbnail = PictureBuffer{};
    cellPicture = PictureBuffer{};
    iconPicture = PictureBuffer{};
    preview = PictureBuffer{};
}

std::string PictureSource::fullPath() const {
    if (isArchiveMember())
        return fileName;
    std::string path = folder;
    path += '/';
    path += fileName;
    return path;
}

std::string PictureSource::archiveFullPath() const {
    if (!isArchiveMember())
        return {};
    std::string path = folder;
    path += '/';
    path += archiveFileName;
    return path;
}

} // namespace vemra
