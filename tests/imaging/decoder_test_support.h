#pragma once

#include "imaging/decoder.h"

#include <QImage>

#include <string>
#include <vector>

// Helpers for the decoder tests: calling a built-in decoder on a file or on
// memory, and comparing the result with a reference picture.
namespace vemra::test {

struct Decoded {
    int code = -1;
    PictureBuffer picture;
};

Decoded decodeFile(DecoderId id, const std::string& path, const DecodeOptions& options = {});
Decoded decodeMemory(DecoderId id, const std::vector<std::byte>& data,
                     const DecodeOptions& options = {});
// Info from a file; the comment text is copied out and its handle freed.
struct InfoResult {
    int code = -1;
    PictureInfo info{};
    std::string comment;
};
InfoResult infoFile(DecoderId id, const std::string& path);
InfoResult infoMemory(DecoderId id, const std::vector<std::byte>& data,
                      const DecodeOptions& options = {});
// Identification from a 2048-byte header made of `data`, zero-padded.
bool identifies(DecoderId id, const std::vector<std::byte>& data,
                const std::string& fileName = "picture");

// A JPEG of `components` (1 grey, 3 RGB, 4 CMYK, which libjpeg marks as
// Adobe's) with a smooth gradient, or all `fill` when that is 0 or more,
// optionally with a comment.
std::vector<std::byte> writeJpeg(int width, int height, int components,
                                 const char* comment = nullptr, int fill = -1);

// Largest difference of any red, green or blue channel between `picture`
// (any depth) and `reference`; -1 when the sizes differ or the picture cannot
// be read. Pixels the reference marks fully transparent are not compared;
// `reference` must be in a 32-bit format.
int maxChannelDifference(const PictureBuffer& picture, const QImage& reference,
                         QPoint* where = nullptr);

struct ManifestRow {
    std::string path;
    std::string format;
    std::string expected;
    std::string note;
};
std::vector<ManifestRow> manifestRows(const std::string& format);

} // namespace vemra::test
