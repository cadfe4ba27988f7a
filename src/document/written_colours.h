#pragma once

#include "imaging/colour_management.h"
#include "imaging/picture_buffer.h"

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

// The colours of everything the program writes from pictures: files saved
// in another format, printouts and PDFs, the clipboard and drag data, the
// wallpaper, catalog thumbnails and contact sheets.
//
// One rule: what is written is in sRGB, the colours every other program,
// web browser and printer driver takes untagged pixels for, never in this
// screen's profile. With colour management on, a picture that carries an
// ICC profile is converted to sRGB; an untagged picture is sRGB already and
// written unchanged. JPEG and PNG files saved in another format do better:
// they keep the picture's own values and carry its profile, so no colour
// outside sRGB is lost. They do so whether colours are managed or not: the
// values mean what the profile says, and a file without it would show
// washed out everywhere.
namespace vemra {

struct EntryDrawingOptions;
class PictureLoader;
class PictureSource;

// The target pictures are written in for entries with these drawing
// options: sRGB while colours are managed (the options name a display
// target), null while not.
std::shared_ptr<const DisplayColour> writtenColour(const EntryDrawingOptions& drawing);

// Converts a picture in the colours of `embedded` (empty: untagged) to sRGB
// when `managed`; untagged pictures stay as they are.
void convertForWriting(PictureBuffer& picture, std::span<const std::byte> embedded, bool managed);

// After the entry's picture was decoded at full size to be printed, put on
// the clipboard or made a wallpaper: turned upright (as makeUpright does)
// and in sRGB as the entry's drawing options say.
void prepareForWriting(PictureSource& entry, PictureLoader* loader, PictureBuffer& picture);

// A picture as shown on a screen of `display` (its colours already
// converted there; null: unmanaged) as it is to be written: converted from
// the display's profile to sRGB. Null when the shown picture is written as
// it is (unmanaged, or an sRGB display).
PictureBuffer shownPictureForWriting(const PictureBuffer& shown, const DisplayColour* display);

// Whether a file saved in another format carries the picture's profile
// `embedded` (and keeps its values): the format can hold one
// (`formatCarriesProfile`: JPEG, PNG) and it fits colour pixels. Otherwise
// a tagged picture is converted to sRGB while colours are managed.
bool fileKeepsProfile(std::span<const std::byte> embedded, bool formatCarriesProfile);

} // namespace vemra
