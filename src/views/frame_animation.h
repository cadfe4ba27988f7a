#pragma once

#include "imaging/gif_frames.h"
#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vemra {

class DisplayColour;

// Milliseconds of the steady clock: the viewers' clock unless a test sets
// its own.
std::int64_t steadyMilliseconds();

// An animated picture as the viewers play it: the file is held in memory
// and its frames are composed one per timer tick onto the picture's canvas
// (the GIF disposal rules), up to 256 of them, each kept with its delay.
// Times are milliseconds of any steady clock the caller chooses, so tests
// drive it with a clock of their own.
class FrameAnimation {
public:
    static constexpr int kTickMs = 55;
    static constexpr int kToleranceMs = 27;
    static constexpr int kMaxFrames = 256;
    // Frames of very large canvases stop being kept beyond this much memory.
    static constexpr std::size_t kMaxBytes = std::size_t{512} << 20;

    // A stored delay in hundredths of a second as milliseconds: x 10, and
    // 2000 from 1999 on.
    static int delayMs(int hundredths);

    // Reads the file's frames; false when it is no GIF or has fewer than two
    // frames (then it is shown as a still picture). The first frame is
    // composed at once.
    bool open(std::vector<std::byte> bytes);

    int frameCount() const { return m_total; }
    int decodedCount() const { return static_cast<int>(m_frames.size()); }
    int current() const { return m_current; }
    const PictureBuffer& frame(int index) const;
    const PictureBuffer& currentFrame() const { return frame(m_current); }
    int frameDelayMs(int index) const;
    // Flips every frame, those composed later too (vertically: upside down).
    void flip(bool vertical);
    // Converts every frame, those composed later too, from the colours of
    // `embedded` (the file's ICC profile; empty: untagged, sRGB) to
    // `target` (null: colour management off, frames stay as composed). Once
    // per animation: frames are converted as they are kept, never again.
    void setDisplayColours(std::shared_ptr<const DisplayColour> target,
                           std::vector<std::byte> embedded);

    // The window viewer's tick at `now`: the next frame is composed while
    // any is left; once the shown frame's delay has passed (27 ms early is
    // in time) the next one (after the last, the first) is shown. True when
    // the shown frame changed. `shownAt` is set by start().
    bool tick(std::int64_t now);
    // The full-screen window's tick: each frame stays at least
    // `shortestMs` (its DelayTime); newly composed frames are shown at once.
    bool tickFullScreen(std::int64_t now, int shortestMs);
    void start(std::int64_t now);

private:
    struct Frame {
        PictureBuffer picture;
        int delayMs = 0;
    };
    bool composeNext();
    void convertColours(PictureBuffer& frame) const;

    std::vector<std::byte> m_bytes; // the walker reads from here
    GifAnimation m_walker;
    std::vector<Frame> m_frames;
    int m_total = 0;
    int m_current = 0;
    std::size_t m_bytesKept = 0;
    std::int64_t m_shownAt = 0;
    std::int64_t m_dueAt = 0;
    bool m_flippedVertically = false;
    bool m_flippedHorizontally = false;
    std::shared_ptr<const DisplayColour> m_colourTarget;
    std::vector<std::byte> m_embeddedProfile;
};

} // namespace vemra
