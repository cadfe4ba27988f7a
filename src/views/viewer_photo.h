#pragma once

namespace vemra {

class PictureLoader;
struct LoadedPicture;

// Finishes a viewer's decode on the thread that decoded: reads the picture's
// metadata once (kept in `loaded.metadata`, with the ICC profile for colour
// conversion), teaches the copy of the entry its orientation, date taken and
// camera, and turns the picture upright when the entry's AutoRotate says so.
// Animations are left as they are. `loader` unpacks archive members.
void applyPhotoMetadata(LoadedPicture& loaded, PictureLoader* loader);

} // namespace vemra
