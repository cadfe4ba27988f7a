#pragma once

#include "imaging/colour_management.h"
#include "imaging/decoder.h"
#include "imaging/picture_buffer.h"
#include "settings/colour_value.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vemra {

// The document's drawing options an entry keeps its own copy of, taken when
// the entry is made, when a refresh reuses it and when thumbnail options
// change, so a thumbnail can tell that it was made with other settings.
struct EntryDrawingOptions {
    bool frame = false;
    bool nameFrame = true;
    bool name = true;
    bool limitCheck = true;
    int scaleMode = 10;
    bool unsharp = true;
    // Pictures are shown upright as their EXIF orientation says.
    bool autoRotate = true;
    // Where thumbnails and viewers convert colours to; null: unmanaged. The
    // document makes a new target only when its mark changes, so comparing
    // the pointers compares the targets.
    std::shared_ptr<const DisplayColour> colour;
    friend bool operator==(const EntryDrawingOptions&, const EntryDrawingOptions&) = default;
};

// The grid colours and caption font, given to an entry each time it is
// handed out, so drawing code needs nothing but the entry. Entries share the
// document's one copy: a folder may have 100,000 entries.
struct EntryAppearance {
    ColourValue colCheck = 0x808080;
    ColourValue colBackGround = 0xC0C0C0;
    ColourValue colText = 0x000000;
    ColourValue colSelectCheck = 0x000080;
    ColourValue colSelectBackGround = 0xFF8C8C;
    ColourValue colSelectText = 0xFFFFFF;
    ColourValue colNormalDraw = 0xFFFFFF;
    ColourValue colArcDraw = 0xFFF0F0;
    ColourValue colCantDraw = 0xF0FFFF;
    std::string fontFaceName;
    int fontWidth = 0;
    int fontHeight = -12;
    bool fontItalic = false;
    int fontWeight = 0;
    friend bool operator==(const EntryAppearance&, const EntryAppearance&) = default;
};

// One picture of the open folder: a plain file, or a member of an archive
// file in the folder. The document owns every entry; everyone else reaches
// one by display position and must not keep it across a rescan.
//
// Paths are composed on demand (fullPath, archiveFullPath) instead of being
// kept in scratch buffers. There is no system icon index on this platform:
// views ask the icon provider for a file's icon and keep it in iconPicture.
class PictureSource {
public:
    static constexpr unsigned kFocused = 1u << 0;
    static constexpr unsigned kSelected = 1u << 1;
    static constexpr int kNotPlaced = 32767;

    PictureSource() = default;
    // Copies every field and duplicates the three pictures.
    PictureSource(const PictureSource& other);
    PictureSource& operator=(const PictureSource& other);
    PictureSource(PictureSource&&) noexcept = default;
    PictureSource& operator=(PictureSource&&) noexcept = default;

    // Forgets what was learnt from the picture: no decoder, no info text, no
    // metadata, no thumbnail, cell or icon picture. Names, sizes, times and the thumbnail
    // cache record stay.
    void clear();

    // folder + "/" + file name; for an archive member the member's name alone.
    std::string fullPath() const;
    // folder + "/" + archive file name; empty for a plain file.
    std::string archiveFullPath() const;
    bool isArchiveMember() const { return !archiveFileName.empty(); }

    bool isFocused() const { return state & kFocused; }
    bool isSelected() const { return state & kSelected; }

    DecoderId decoder = kNoDecoder;
    std::string folder;
    std::string fileName;
    std::uint64_t length = 0; // archive member: its unpacked size
    std::int64_t creationTime = 0;
    std::int64_t lastWriteTime = 0;
    DecoderId archiveDecoder = kNoDecoder;
    std::string archiveFileName;
    int memberPosition = 0;
    int drawnCellWidth = 0;
    int drawnCellHeight = 0;
    int boxWidth = 0;
    int boxHeight = 0;
    PictureBuffer thumbnail;
    PictureBuffer cellPicture;
    PictureBuffer iconPicture;
    // A camera's EXIF thumbnail drawn until `thumbnail` is made; never cached.
    PictureBuffer preview;
    int pictureWidth = 0;
    int pictureHeight = 0;
    int bitCount = 0;
    std::string infoText;
    bool noteLoaded = false;
    std::string note;
    unsigned state = 0;
    int cellX = kNotPlaced;
    int cellY = 0;
    EntryDrawingOptions drawing;
    int scaleModeUsed = 0;
    bool unsharpUsed = false;
    // colourMarkOf() the target the thumbnail was made for (0: unmanaged).
    std::uint16_t colourMarkUsed = 0;
    int rotation = 0;
    int fitMode = 1;
    // What the picture's metadata tells, learnt where it is decoded for its
    // thumbnail (or taken from its cache record). `orientation` is 0 until
    // then, else the EXIF orientation still to apply after its decoder (1-8).
    int orientation = 0;
    bool autoRotateUsed = false; // the thumbnail was made upright
    std::int64_t dateTaken = 0;  // local time; 0 when the picture has none
    std::string cameraModel;
    bool cached = false;
    bool cacheTried = false;
    bool useCacheFirst = false;
    bool madeNow = false;
    // Never null; the defaults until the document gives its own.
    std::shared_ptr<const EntryAppearance> appearance = defaultAppearance();

    static const std::shared_ptr<const EntryAppearance>& defaultAppearance();
};

} // namespace vemra
