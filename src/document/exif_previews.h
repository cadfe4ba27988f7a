#pragma once

#include "imaging/picture_buffer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace vemra {

class WorkerPool;

// The small thumbnail a camera stores in a JPEG's EXIF block, decoded,
// turned upright by the picture's orientation (with `autoRotate`) and fitted
// into `boxWidth` x `boxHeight` (enlarged when the box is larger). Null when
// the file has none. Any thread.
PictureBuffer exifPreview(const std::string& path, int boxWidth, int boxHeight, bool autoRotate);

// Whether a file of this name may carry an EXIF thumbnail worth asking for
// (JPEG names): other files never cost a job.
bool mayCarryExifPreview(const std::string& fileName);

// A camera's own thumbnail shown in a cell until the real one is made. It
// is never stored in the thumbnail cache.
struct ExifPreviewRequest {
    int position = -1;
    const void* identity = nullptr; // the entry's address, compared, never followed
    std::string path;
    std::string fileName;
    int boxWidth = 0;
    int boxHeight = 0;
    bool autoRotate = true;
};

struct ExifPreviewResult {
    ExifPreviewRequest request;
    PictureBuffer picture;
};

// Reads EXIF thumbnails on a worker pool ahead of the thumbnails themselves
// (they take a millisecond, a thumbnail tens) and keeps the results for the
// interface thread. The destructor drops what is queued and waits for the
// running ones.
class ExifPreviews {
public:
    explicit ExifPreviews(WorkerPool& pool);
    ~ExifPreviews();
    ExifPreviews(const ExifPreviews&) = delete;
    ExifPreviews& operator=(const ExifPreviews&) = delete;

    void submit(ExifPreviewRequest request);
    std::optional<ExifPreviewResult> take();
    void cancelQueued();
    // Called on a worker thread when a result arrives while none waited.
    void setNotifier(std::function<void()> notifier);

    // Above the visible thumbnails, below the viewers' look-ahead.
    static constexpr int kPriority = 1 << 29;

private:
    std::uintptr_t tag() const { return reinterpret_cast<std::uintptr_t>(this); }

    WorkerPool& m_pool;
    std::mutex m_mutex;
    std::deque<ExifPreviewResult> m_results;
    std::function<void()> m_notifier;
};

} // namespace vemra
