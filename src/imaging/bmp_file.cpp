#include "imaging/bmp_file.h"

#include "platform/atomic_file.h"
#include "platform/byte_source.h"
#include "platform/endian.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vemra {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint16_t kSignature = 0x4D42; // "BM"

// Reverses the row order of a top-down picture and makes its height positive.
void makeBottomUp(PictureBuffer& picture, const DibLayout& l) {
    auto rows = picture.pixels();
    std::vector<std::byte> swap(l.rowBytes);
    for (int top = 0, bottom = l.height - 1; top < bottom; ++top, --bottom) {
        std::byte* a = rows.data() + static_cast<std::size_t>(top) * l.rowBytes;
        std::byte* b = rows.data() + static_cast<std::size_t>(bottom) * l.rowBytes;
        std::memcpy(swap.data(), a, l.rowBytes);
        std::memcpy(a, b, l.rowBytes);
        std::memcpy(b, swap.data(), l.rowBytes);
    }
    storeI32(picture.block().data() + 8, l.height);
}

// Reads `entries` colours of `entryBytes` each at `offset` into the table.
bool readColourTable(const ByteSource& source, std::uint64_t offset, int entries,
                     std::size_t entryBytes, PictureBuffer& picture) {
    std::vector<std::byte> table(static_cast<std::size_t>(entries) * entryBytes);
    if (!source.readAt(offset, table)) {
        return false;
    }
    for (int i = 0; i < entries; ++i) {
        const std::byte* e = table.data() + static_cast<std::size_t>(i) * entryBytes;
        picture.setPaletteColour(i,
                                 colourWord(std::to_integer<int>(e[2]), std::to_integer<int>(e[1]),
                                            std::to_integer<int>(e[0])));
    }
    return true;
}

// "BM", the file size and the offset of the pixels; the caller has checked
// that the file size fits in 32 bits.
std::array<std::byte, kFileHeaderSize> fileHeaderFor(const DibLayout& l) {
    std::array<std::byte, kFileHeaderSize> h{};
    storeU16(h.data(), kSignature);
    storeU32(h.data() + 2, static_cast<std::uint32_t>(kFileHeaderSize + l.totalBytes));
    storeU32(h.data() + 10, static_cast<std::uint32_t>(kFileHeaderSize + l.pixelOffset));
    return h;
}

} // namespace

ReadResult readBmp(const ByteSource& source) {
    const std::uint64_t fileSize = source.size();
    std::array<std::byte, kFileHeaderSize + kInfoHeaderSize> head{};
    if (fileSize < kFileHeaderSize + 4 || !source.readAt(0, std::span(head).first(18))) {
        return {ResultCode::InvalidData, {}};
    }
    if (loadU16(head.data()) != kSignature) {
        return {ResultCode::InvalidData, {}};
    }
    const std::uint32_t headerSize = loadU32(head.data() + kFileHeaderSize);
    if (headerSize != kInfoHeaderSize && headerSize != kCoreHeaderSize) {
        return {ResultCode::UnsupportedKind, {}};
    }
    if (fileSize < kFileHeaderSize + headerSize ||
        !source.readAt(0, std::span(head).first(kFileHeaderSize + headerSize))) {
        return {ResultCode::InvalidData, {}};
    }
    const auto stored = DibHeader::read(std::span(head).subspan(kFileHeaderSize, headerSize));
    const auto storedLayout = stored ? DibLayout::describe(*stored) : std::nullopt;
    // The stored file size is often wrong; the real one decides what is there.
    std::uint64_t pixelOffset = loadU32(head.data() + 10);
    const std::uint64_t tableOffset = kFileHeaderSize + headerSize;
    if (!storedLayout || pixelOffset < tableOffset || pixelOffset > fileSize) {
        return {ResultCode::InvalidData, {}};
    }

    // Everything downstream sees a 40-byte header: a core header is widened,
    // its 3-byte colour entries become 4-byte ones.
    DibHeader header = *stored;
    header.headerSize = kInfoHeaderSize;
    int entries = storedLayout->colourEntries;
    if (storedLayout->isCore()) {
        // A core header has no colour count: the table is whatever stands
        // before the pixels, up to the depth's full table.
        entries = std::min<std::uint64_t>(entries, (pixelOffset - tableOffset) / 3);
        header.coloursUsed = static_cast<std::uint32_t>(entries);
    }
    const auto layout = DibLayout::describe(header);
    if (!layout) {
        return {ResultCode::InvalidData, {}};
    }
    const std::uint64_t tableEnd =
        tableOffset + (layout->colourTableBytes - static_cast<std::size_t>(entries) * 4) +
        static_cast<std::uint64_t>(entries) * storedLayout->entryBytes;
    if (tableEnd > fileSize) {
        return {ResultCode::InvalidData, {}};
    }
    // An offset into a counted colour table cannot be right, since those
    // bytes cannot be colours and pixels at once: the pixels follow the table.
    pixelOffset = std::max(pixelOffset, tableEnd);

    const bool rle =
        layout->compression == Compression::Rle8 || layout->compression == Compression::Rle4;
    const std::uint64_t available = fileSize - pixelOffset;
    std::uint64_t imageBytes = layout->imageBytes;
    if (rle && (imageBytes == 0 || imageBytes > available)) {
        // Encoders that leave the size out, or overstate it, still wrote the
        // data up to the end of the file.
        imageBytes = available;
        header.imageSize = static_cast<std::uint32_t>(imageBytes);
    }
    // Some writers drop the padding of the last row; a file missing up to one
    // row reads with the rest left blank, anything shorter is broken.
    if (imageBytes > available + layout->rowBytes) {
        return {ResultCode::BrokenData, {}};
    }

    PictureBuffer picture = PictureBuffer::allocate(layout->pixelOffset + imageBytes);
    if (!picture) {
        return {ResultCode::OutOfMemory, {}};
    }
    header.write(picture.block());
    auto block = picture.block();
    const std::size_t masks = layout->tableOffset - kInfoHeaderSize;
    if (!source.readAt(tableOffset, block.subspan(kInfoHeaderSize, masks)) ||
        !readColourTable(source, tableOffset + masks, entries, storedLayout->entryBytes, picture) ||
        !source.readAt(pixelOffset,
                       block.subspan(layout->pixelOffset, std::min(imageBytes, available)))) {
        return {ResultCode::ReadError, {}};
    }
    if (layout->topDown) {
        makeBottomUp(picture, *layout);
    }
    return {ResultCode::Success, std::move(picture)};
}

ReadResult readBmpFile(const std::string& path) {
    const auto file = FileSource::open(path);
    if (!file) {
        return {ResultCode::OpenFailure, {}};
    }
    return readBmp(*file);
}

std::vector<std::byte> encodeBmp(const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l || l->headerSize != kInfoHeaderSize || kFileHeaderSize + l->totalBytes > UINT32_MAX) {
        return {};
    }
    std::vector<std::byte> file(kFileHeaderSize + l->totalBytes);
    const auto header = fileHeaderFor(*l);
    std::memcpy(file.data(), header.data(), header.size());
    std::memcpy(file.data() + kFileHeaderSize, picture.block().data(), l->totalBytes);
    return file;
}

bool writeBmpFile(const std::string& path, const PictureBuffer& picture) {
    const auto l = picture.layout();
    if (!l || l->headerSize != kInfoHeaderSize || kFileHeaderSize + l->totalBytes > UINT32_MAX) {
        return false;
    }
    // Header and block are written separately so a large picture is never
    // copied just to be saved.
    const auto header = fileHeaderFor(*l);
    AtomicFile file(path);
    return file.open() && file.write(header) && file.write(picture.block().first(l->totalBytes)) &&
           file.commit();
}

} // namespace vemra
