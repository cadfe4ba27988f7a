#include "document/exif_previews.h"

#include "document/picture_loader.h"
#include "document/thumbnail_maker.h"
#include "imaging/decoder.h"
#include "imaging/orientation.h"
#include "imaging/photo_metadata.h"
#include "imaging/picture_convert.h"
#include "imaging/scaling.h"
#include "platform/worker_pool.h"

#include <algorithm>
#include <cctype>

namespace vemra {

namespace {

PictureBuffer previewFrom(const PhotoMetadata& metadata, int boxWidth, int boxHeight,
                          bool autoRotate) {
    const BuiltinDecoder* jpeg = findBuiltinDecoder(kJpegDecoderId);
    if (metadata.exifThumbnail.empty() || jpeg == nullptr)
        return {};
    PictureBuffer picture;
    const std::span<const std::byte> bytes = metadata.exifThumbnail;
    if (jpeg->picture(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::intptr_t>(bytes.size()), 1, picture, DecodeOptions{}) != 0 ||
        !picture || !convertTo24Bits(picture))
        return {};
    if (autoRotate)
        picture = orientPicture(std::move(picture), metadata.orientationToApply());
    const PictureSize fitted =
        fittedSize(picture.width(), picture.height(), boxWidth, boxHeight, false);
    if (fitted.width == picture.width() && fitted.height == picture.height())
        return picture;
    return scalePicture(picture, fitted.width, fitted.height, 0, ScaleMode::Automatic);
}

constexpr PhotoMetadataRequest kThumbnailOnly{.iccProfile = false, .exifThumbnail = true};

} // namespace

PictureBuffer exifPreview(const std::string& path, int boxWidth, int boxHeight, bool autoRotate) {
    if (boxWidth <= 0 || boxHeight <= 0)
        return {};
    return previewFrom(readPhotoMetadata(path, kThumbnailOnly), boxWidth, boxHeight, autoRotate);
}

PictureBuffer exifPreview(std::span<const std::byte> file, int boxWidth, int boxHeight,
                          bool autoRotate) {
    if (boxWidth <= 0 || boxHeight <= 0 || file.empty())
        return {};
    return previewFrom(readPhotoMetadata(file, kThumbnailOnly), boxWidth, boxHeight, autoRotate);
}

bool mayCarryExifPreview(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "jpg" || extension == "jpeg" || extension == "jpe" || extension == "jfif";
}

ExifPreviews::ExifPreviews(WorkerPool& pool, PictureLoader* loader)
    : m_pool(pool), m_loader(loader) {}

PictureBuffer ExifPreviews::previewOf(const ExifPreviewRequest& request) {
    if (!request.member)
        return exifPreview(request.path, request.boxWidth, request.boxHeight, request.autoRotate);
    if (m_loader == nullptr || request.member->length > kMaxPreviewMemberBytes)
        return {};
    // The decoders' plug-in list stays as it is while the member is unpacked.
    const auto use = m_loader->workerUse();
    std::vector<std::byte> bytes;
    if (m_loader->extractMember(*request.member, bytes) != 0 ||
        bytes.size() > kMaxPreviewMemberBytes)
        return {};
    return exifPreview(bytes, request.boxWidth, request.boxHeight, request.autoRotate);
}

ExifPreviews::~ExifPreviews() {
    m_pool.cancel(tag());
    m_pool.waitIdle(tag());
}

void ExifPreviews::submit(ExifPreviewRequest request) {
    m_pool.submit(tag(), kPriority, [this, request = std::move(request)]() mutable {
        ExifPreviewResult result;
        result.picture = previewOf(request);
        result.request = std::move(request);
        const std::lock_guard lock(m_mutex);
        m_results.push_back(std::move(result));
        if (m_results.size() == 1 && m_notifier)
            m_notifier();
    });
}

std::optional<ExifPreviewResult> ExifPreviews::take() {
    const std::lock_guard lock(m_mutex);
    if (m_results.empty())
        return std::nullopt;
    ExifPreviewResult result = std::move(m_results.front());
    m_results.pop_front();
    return result;
}

void ExifPreviews::cancelQueued() {
    m_pool.cancel(tag());
}

void ExifPreviews::setNotifier(std::function<void()> notifier) {
    const std::lock_guard lock(m_mutex);
    m_notifier = std::move(notifier);
}

} // namespace vemra
