#pragma once

#include "imaging/gif_format.h"
#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"

#include <span>
#include <vector>

namespace vemra {

// One frame of an animated GIF as the file describes it.
struct GifFrameInfo {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = 0;        // hundredths of a second
    int disposal = 0;     // 0 or 1 keep, 2 restore the background, 3 restore the previous screen
    int transparent = -1; // colour index, or -1
};

// Plays the frames of a GIF onto its logical screen, in order, as a viewer
// shows an animation: each frame is drawn over what the previous ones left
// (transparent pixels let it show through) after the previous frame's
// disposal. The walker reads from data the caller keeps alive.
class GifAnimation {
public:
    // Reads the screen and finds every frame. InvalidData without a GIF
    // signature, BrokenData without a screen or any frame, OutOfMemory for a
    // screen above the picture size limit.
    ResultCode open(std::span<const std::byte> data);

    int width() const { return m_screen.width; }
    int height() const { return m_screen.height; }
    int frameCount() const { return static_cast<int>(m_frames.size()); }
    const GifFrameInfo& frame(int index) const {
        return m_frames[static_cast<std::size_t>(index)].info;
    }
    // The comment of the first comment extension, as stored.
    const std::string& comment() const { return m_comment; }

    // Composes the next frame and gives the screen as a new 24-bit picture;
    // after the last frame it starts again with the first. Frames whose data
    // is cut short show what was decoded.
    ResultCode nextFrame(PictureBuffer& out);
    // The index nextFrame() composes next.
    int position() const { return m_next; }
    void rewind();

private:
    struct Frame {
        GifFrameInfo info;
        GifImage image;
    };

    void fillRect(const GifFrameInfo& area, ColourWord colour);
    ResultCode draw(const Frame& frame);

    std::span<const std::byte> m_data;
    GifScreen m_screen;
    std::vector<Frame> m_frames;
    std::string m_comment;
    ColourWord m_background = 0;
    PictureBuffer m_canvas;
    PictureBuffer m_saved; // the screen before a frame with disposal 3
    int m_next = 0;
};

} // namespace vemra
