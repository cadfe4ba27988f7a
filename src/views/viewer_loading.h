#pragma once

#include "document/picture_source.h"
#include "imaging/picture_buffer.h"
#include "views/frame_animation.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vemra {

class FolderDocument;
class ThumbnailDecode;

// One entry's picture decoded for a viewer, with a copy of the entry as it
// was then (the viewer keeps its own, the document may rescan meanwhile).
struct LoadedPicture {
    int position = -1;
    PictureSource entry;
    int code = -1; // the decoder's result code
    PictureBuffer picture;
    std::unique_ptr<FrameAnimation> animation;
};

// Decodes the entry at display `position` at its full size through the
// document's loader; the document's entry learns its decoder and size as
// when a thumbnail is made. With `animate`, a GIF of two or more frames
// also gets its frames (the file is read into memory).
LoadedPicture loadViewerPicture(FolderDocument& document, int position, bool animate);

// Whether the document can supply the entry at display `position`.
bool entryAvailable(FolderDocument& document, int position);

// Whether the entry is a picture the animation player takes.
bool mayAnimate(const PictureSource& entry);

// The next picture in the direction the user steps, decoded in idle time
// while the current one is looked at, so that the step to it shows at once.
// JPEG files are decoded a band of rows per call, so input waits no longer
// than a band; other pictures in one call. Animated pictures are left to
// the viewer. Interface thread only: every look-ahead alive is known to
// idleStepAll, which the application's idle time drives.
class PictureLookAhead {
public:
    explicit PictureLookAhead(FolderDocument& document);
    ~PictureLookAhead();

    // Plans `position` (-1: nothing); a different plan drops the work done.
    void want(int position);
    // One share of idle time; true while work is left.
    bool idleStep(const std::function<bool()>& shouldStop);
    // The decoded picture of `position` when it is ready and still the same
    // file; it is handed over (a second call gives nothing).
    std::optional<LoadedPicture> take(int position);
    void clear();

    // One share of idle time for every look-ahead alive (the viewers' and
    // the full-screen window's); true while any has work left.
    static bool idleStepAll(const std::function<bool()>& shouldStop);

private:
    bool samePicture(int position) const;

    FolderDocument& m_document;
    int m_position = -1;
    std::string m_path;
    std::unique_ptr<ThumbnailDecode> m_decode;
    std::optional<LoadedPicture> m_ready;
    bool m_started = false;
};

} // namespace vemra
