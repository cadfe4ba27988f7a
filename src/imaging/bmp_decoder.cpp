// Built-in decoder 1000: Windows bitmaps with a 40-byte information header.

#include "imaging/bmp_file.h"
#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"
#include "imaging/picture_convert.h"
#include "platform/byte_source.h"
#include "platform/endian.h"

#include <algorithm>
#include <cstring>

namespace vemra {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderSize;

bool isBitCount(unsigned bits) {
    return bits == 0 || bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

bool identify(const char* /*fileName*/, const void* header) {
    const auto h = readIdentifyHeader(header);
    if (!h || h->length < 30) {
        return false;
    }
    const std::byte* p = h->bytes.data();
    return p[0] == std::byte{'B'} && p[1] == std::byte{'M'} && loadU32(p + 14) == kInfoHeaderSize &&
           isBitCount(loadU16(p + 28));
}

int info(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
         const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened == ResultCode::Failure ? ResultCode::Failure : opened);
    }
    const auto data = input.bytes();
    if (data.size() <= kHeadersBytes || data[0] != std::byte{'B'} || data[1] != std::byte{'M'}) {
        return static_cast<int>(ResultCode::Failure);
    }
    info.left = 0;
    info.top = 0;
    info.width = loadI32(data.data() + 18);
    info.height = loadI32(data.data() + 22);
    info.x_density = 0;
    info.y_density = 0;
    info.colorDepth = static_cast<std::int16_t>(loadU16(data.data() + 28));
    info.hInfo = nullptr;
    return static_cast<int>(ResultCode::Success);
}

// Pictures this decoder does not lay out itself (core headers, top-down rows)
// go through the general bitmap reader, which also widens and flips them.
ResultCode readOther(std::span<const std::byte> data, PictureBuffer& out) {
    ReadResult read = readBmp(MemorySource(data));
    if (!read) {
        return read.code;
    }
    out = std::move(read.picture);
    return ResultCode::Success;
}

ResultCode decode(std::span<const std::byte> data, bool fromFile, PictureBuffer& out) {
    if (data.size() < kHeadersBytes || data[0] != std::byte{'B'} || data[1] != std::byte{'M'}) {
        return ResultCode::Failure;
    }
    const std::byte* head = data.data();
    if (loadU32(head + kFileHeaderBytes) != kInfoHeaderSize || loadI32(head + 22) < 0) {
        return readOther(data, out);
    }
    auto header = DibHeader::read(data.subspan(kFileHeaderBytes, kInfoHeaderSize));
    if (!header) {
        return ResultCode::Failure;
    }
    const bool rle = header->compression == static_cast<std::uint32_t>(Compression::Rle8) ||
                     header->compression == static_cast<std::uint32_t>(Compression::Rle4);
    const std::uint64_t pixelOffset = loadU32(head + 10);
    if (pixelOffset > data.size()) {
        return ResultCode::BrokenData;
    }
    if (rle && (header->imageSize == 0 || header->imageSize > data.size() - pixelOffset)) {
        // Writers that leave the size out, or overstate it, still wrote the
        // runs up to the end of the file.
        header->imageSize = static_cast<std::uint32_t>(data.size() - pixelOffset);
    }
    const auto layout = DibLayout::describe(*header);
    if (!layout) {
        const std::int64_t pixels =
            static_cast<std::int64_t>(header->width) * std::abs(std::int64_t{header->height});
        return pixels > kMaxPicturePixels ? ResultCode::OutOfMemory : ResultCode::InvalidData;
    }
    PictureBuffer picture = PictureBuffer::allocate(layout->totalBytes);
    if (!picture) {
        return ResultCode::OutOfMemory;
    }
    auto block = picture.block();
    header->write(block);

    // The colour table is taken from the bytes right before the pixels, so a
    // file with a gap after its header still finds its colours. A pixel
    // offset pointing into the table is wrong; the table then follows the
    // header and the pixels follow the table.
    const std::size_t tableBytes = layout->colourTableBytes;
    std::uint64_t tableStart = kHeadersBytes;
    std::uint64_t pixelStart = pixelOffset;
    if (pixelOffset >= kHeadersBytes + tableBytes) {
        tableStart = pixelOffset - tableBytes;
    } else {
        pixelStart = kHeadersBytes + tableBytes;
    }
    if (tableStart + tableBytes > data.size()) {
        return fromFile ? ResultCode::ReadError : ResultCode::BrokenData;
    }
    std::memcpy(block.data() + kInfoHeaderSize, data.data() + tableStart, tableBytes);
    for (int i = 0; i < layout->colourEntries; ++i) {
        block[layout->tableOffset + static_cast<std::size_t>(i) * 4 + 3] = std::byte{0};
    }

    const std::uint64_t available = data.size() - std::min<std::uint64_t>(pixelStart, data.size());
    const std::size_t imageBytes = layout->imageBytes;
    // A file must hold its pixels, less at most the padding of the last row
    // that some writers drop; memory gives what it has.
    if (fromFile && !rle && available + layout->rowBytes < imageBytes) {
        return ResultCode::ReadError;
    }
    const std::size_t copied =
        static_cast<std::size_t>(std::min<std::uint64_t>(available, imageBytes));
    if (copied != 0) {
        std::memcpy(block.data() + layout->pixelOffset, data.data() + pixelStart, copied);
    }
    // The expanded picture replaces the raw one only when the data holds;
    // otherwise the caller gets the runs as stored.
    if (rle) {
        expandRle(picture);
    }
    out = std::move(picture);
    return ResultCode::Success;
}

int picture(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureBuffer& out,
            const DecodeOptions& /*options*/) {
    SourceBytes input;
    if (const ResultCode opened = input.open(source, offsetOrLength, mode);
        opened != ResultCode::Success) {
        return static_cast<int>(opened);
    }
    return static_cast<int>(decode(input.bytes(), input.fromFile(), out));
}

constexpr std::string_view kInformation[] = {
    "00IN", "BMP to DIB filter Ver 0.02 (Vemra)", "*.bmp", "BMP", "*.dib", "BMP",
};

} // namespace

const BuiltinDecoder kBmpDecoder = {
    kBmpDecoderId, "--BMP--", "*.BMP;*.RLE", "#InnerBMP", true,
    kInformation,  identify,  info,          picture,
};

} // namespace vemra
