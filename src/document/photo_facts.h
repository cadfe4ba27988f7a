#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

#include <cstddef>
#include <vector>

namespace vemra {

class PictureLoader;
class PictureSource;
struct PhotoMetadata;

// Reads the metadata of the entry's picture (a plain file from its path, an
// archive member from its bytes through `loader`) and keeps in the entry
// what the document needs of it: the orientation, the date taken and the
// camera. Does nothing when the entry knows them already. Any thread, on the
// worker's own copy of the entry.
void learnPhotoFacts(PictureSource& entry, PictureLoader* loader);
// The same, also giving the colour profile embedded in the entry's file in
// `profile` (empty when it has none): one read of the metadata serves both,
// for a thumbnail converted to the display's colours. Archive members give
// none: convertForDisplay takes them as untagged.
void learnPhotoFacts(PictureSource& entry, PictureLoader* loader, std::vector<std::byte>& profile);
// The same from metadata read elsewhere.
void learnPhotoFacts(PictureSource& entry, const PhotoMetadata& metadata);

// The orientation the entry's picture is shown in: its own when AutoRotate
// is on and it is known, else 1.
int shownOrientation(const PictureSource& entry);

// The entry's picture size as shown: width and height swapped for
// photographs taken sideways (with AutoRotate on).
PictureSize uprightPictureSize(const PictureSource& entry);

// The decoded picture turned upright as the entry says.
PictureBuffer orientedForEntry(PictureBuffer decoded, const PictureSource& entry);

// After a decode through `loader`: learns the entry's metadata when it is
// not known yet and turns `picture` upright.
void makeUpright(PictureSource& entry, PictureLoader* loader, PictureBuffer& picture);

} // namespace vemra
