#pragma once

#include "document/picture_source.h"
#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace vemra {

class PictureLoader;
class WorkerPool;

// The small thumbnail a camera stores in a JPEG's EXIF block, decoded,
// turned upright by the picture's orientation (with `autoRotate`) and fitted
// into `boxWidth` x `boxHeight` (enlarged when the box is larger). Null when
// the file has none. Any thread.
PictureBuffer exifPreview(const std::string& path, int boxWidth, int boxHeight, bool autoRotate);
// The same from a picture file's bytes in memory (an archive member).
PictureBuffer exifPreview(std::span<const std::byte> file, int boxWidth, int boxHeight,
                          bool autoRotate);

// Archive members up to this size are unpacked for their EXIF thumbnail
// (on a worker, never on the interface thread); camera JPEGs stay well
// below it, and a larger member would cost more than its real thumbnail.
inline constexpr std::uint64_t kMaxPreviewMemberBytes = 32u << 20;

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
    // An archive member: the entry as it was asked for, unpacked through
    // the loader (`path` is then unused).
    std::optional<PictureSource> member;
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
    // `loader` unpacks archive members; without one members get no preview.
    explicit ExifPreviews(WorkerPool& pool, PictureLoader* loader = nullptr);
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

    PictureBuffer previewOf(const ExifPreviewRequest& request);

    WorkerPool& m_pool;
    PictureLoader* m_loader;
    std::mutex m_mutex;
    std::deque<ExifPreviewResult> m_results;
    std::function<void()> m_notifier;
};

} // namespace vemra
