#pragma once

#include "document/picture_source.h"
#include "imaging/photo_metadata.h"
#include "imaging/picture_buffer.h"
#include "views/frame_animation.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vemra {

class FolderDocument;

// One entry's picture decoded for a viewer, with a copy of the entry as it
// was then (the viewer keeps its own, the document may rescan meanwhile).
struct LoadedPicture {
    int position = -1;
    PictureSource entry;
    int code = -1;         // the decoder's result code
    PictureBuffer picture; // upright when the entry's AutoRotate says so
    std::unique_ptr<FrameAnimation> animation;
    // Read once with the decode: the shooting information and the embedded
    // ICC profile.
    PhotoMetadata metadata;
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

// The next picture in the direction the user steps, decoded on one of the
// document's worker threads while the current one is looked at, so that the
// step to it shows at once and input never waits for it. Animated pictures
// are left to the viewer. Interface thread only: every look-ahead alive is
// known to idleStepAll, which the application's idle time drives; the
// decode itself works on a copy of the entry.
class PictureLookAhead {
public:
    explicit PictureLookAhead(FolderDocument& document);
    ~PictureLookAhead();

    // Plans `position` (-1: nothing); a different plan drops the work done.
    void want(int position);
    // Hands the planned decode to the workers; true while this thread has
    // work left (never: the decode runs elsewhere).
    bool idleStep(const std::function<bool()>& shouldStop);
    // Waits up to `timeout` for the planned decode to finish.
    bool waitReady(std::chrono::milliseconds timeout);
    // The decoded picture of `position` when it is ready and still the same
    // file; it is handed over (a second call gives nothing).
    std::optional<LoadedPicture> take(int position);
    void clear();

    // One share of idle time for every look-ahead alive (the viewers' and
    // the full-screen window's); true while any has work left.
    static bool idleStepAll(const std::function<bool()>& shouldStop);

private:
    bool samePicture(int position) const;

    // Where a worker leaves the decoded picture; shared with the task so that
    // a plan dropped meanwhile costs nothing but the decode.
    struct Slot {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<LoadedPicture> picture;
    };

    FolderDocument& m_document;
    int m_position = -1;
    std::string m_path;
    std::shared_ptr<Slot> m_slot;
    bool m_started = false;
};

} // namespace vemra
