#include "views/frame_animation.h"

#include "imaging/colour_management.h"
#include "imaging/transforms.h"

#include <algorithm>
#include <chrono>

namespace vemra {

std::int64_t steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int FrameAnimation::delayMs(int hundredths) {
    const long long product = static_cast<long long>(std::max(0, hundredths)) * 10;
    return product >= 1999 ? 2000 : static_cast<int>(product);
}

bool FrameAnimation::open(std::vector<std::byte> bytes) {
    m_bytes = std::move(bytes);
    m_frames.clear();
    m_current = 0;
    m_bytesKept = 0;
    if (m_walker.open(m_bytes) != ResultCode::Success || m_walker.frameCount() < 2) {
        m_total = 0;
        return false;
    }
    m_total = std::min(m_walker.frameCount(), kMaxFrames);
    return composeNext();
}

bool FrameAnimation::composeNext() {
    if (decodedCount() >= m_total)
        return false;
    Frame frame;
    const int index = m_walker.position();
    if (m_walker.nextFrame(frame.picture) != ResultCode::Success || !frame.picture) {
        // A frame that cannot be composed ends the animation there.
        m_total = decodedCount();
        return false;
    }
    m_bytesKept += frame.picture.blockSize();
    if (m_bytesKept > kMaxBytes && !m_frames.empty()) {
        m_total = decodedCount();
        return false;
    }
    // The walker keeps composing on its own canvas in the file's colours;
    // each kept copy is converted once.
    convertColours(frame.picture);
    if (m_flippedVertically)
        flipPicture(frame.picture);
    if (m_flippedHorizontally)
        mirrorPicture(frame.picture);
    frame.delayMs = delayMs(m_walker.frame(index).delay);
    m_frames.push_back(std::move(frame));
    return true;
}

void FrameAnimation::flip(bool vertical) {
    (vertical ? m_flippedVertically : m_flippedHorizontally) ^= true;
    for (Frame& f : m_frames) {
        if (vertical)
            flipPicture(f.picture);
        else
            mirrorPicture(f.picture);
    }
}

void FrameAnimation::setDisplayColours(std::shared_ptr<const DisplayColour> target,
                                       std::vector<std::byte> embedded) {
    if (m_colourTarget || !target)
        return;
    m_colourTarget = std::move(target);
    m_embeddedProfile = std::move(embedded);
    for (Frame& f : m_frames)
        convertColours(f.picture);
}

void FrameAnimation::convertColours(PictureBuffer& frame) const {
    if (m_colourTarget)
        convertToDisplay(frame, m_embeddedProfile, *m_colourTarget);
}

const PictureBuffer& FrameAnimation::frame(int index) const {
    static const PictureBuffer kNone;
    if (index < 0 || index >= decodedCount())
        return kNone;
    return m_frames[static_cast<std::size_t>(index)].picture;
}

int FrameAnimation::frameDelayMs(int index) const {
    if (index < 0 || index >= decodedCount())
        return 0;
    return m_frames[static_cast<std::size_t>(index)].delayMs;
}

void FrameAnimation::start(std::int64_t now) {
    m_current = 0;
    m_shownAt = now;
    m_dueAt = now;
}

bool FrameAnimation::tick(std::int64_t now) {
    composeNext();
    if (decodedCount() < 2 || now - m_shownAt + kToleranceMs < frameDelayMs(m_current))
        return false;
    int next = m_current + 1;
    if (next >= decodedCount()) {
        // The first frame comes again only after the last one was shown.
        if (decodedCount() < m_total)
            return false;
        next = 0;
    }
    m_current = next;
    m_shownAt = now;
    return true;
}

bool FrameAnimation::tickFullScreen(std::int64_t now, int shortestMs) {
    if (now + kToleranceMs < m_dueAt)
        return false;
    if (composeNext())
        m_current = decodedCount() - 1;
    else if (decodedCount() >= 2)
        m_current = (m_current + 1) % decodedCount();
    else
        return false;
    m_shownAt = now;
    m_dueAt = now + std::max(frameDelayMs(m_current), shortestMs);
    return true;
}

} // namespace vemra
