#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/unsharp.h"

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
