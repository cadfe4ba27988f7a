#include "imaging/dib_layout.h"

#include "platform/endian.h"
#include "platform/memory_block.h"

#include <cstdlib>

namespace vemra {
int dibStorageBits(int bits) {
    if (bits <= 1) {
        return 1;
    }
    if (bits <= 4) {
        return 4;
    }
    if (bits <= 8) {
        return 8;
    }
    if (bits <= 16) {
        return 16;
    }
    if (bits <= 24) {
        return 24;
    }
    return 32;
}

std::size_t dibRowBytes(int bits, std::int64_t width) {
    const auto storage = static_cast<std::int64_t>(dibStorageBits(bits));
    return static_cast<std::size_t>((storage * width + 31) / 32 * 4);
}

std::optional<DibHeader> DibHeader::read(std::span<const std::byte> bytes) {
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    DibHeader h;
    h.headerSize = loadU32(bytes.data());
    const std::byte* p = bytes.data();
    if (h.headerSize == kCoreHeaderSize) {
        if (bytes.size() < kCoreHeaderSize) {
            return std::nullopt;
        }
        h.width = loadU16(p + 4);
        h.height = loadU16(p + 6);
        h.planes = loadU16(p + 8);
        h.bitCount = loadU16(p + 10);
        return h;
    }
    if (h.headerSize < kInfoHeaderSize || h.headerSize > kMaxHeaderSize ||
        bytes.size() < kInfoHeaderSize) {
        return std::nullopt;
    }
    h.width = loadI32(p + 4);
    h.height = loadI32(p + 8);
    h.planes = loadU16(p + 12);
    if (h.headerSize != kInfoHeaderSize) {
        h.bitCount = 24;
        return h;
    }
    h.bitCount = loadU16(p + 14);
    h.compression = loadU32(p + 16);
    h.imageSize = loadU32(p + 20);
    h.xPelsPerMeter = loadI32(p + 24);
    h.yPelsPerMeter = loadI32(p + 28);
    h.coloursUsed = loadU32(p + 32);
    h.coloursImportant = loadU32(p + 36);
    return h;
}

void DibHeader::write(std::span<std::byte> out) const {
    if (out.size() < kInfoHeaderSize) {
        return;
    }
    std::byte* p = out.data();
    storeU32(p, kInfoHeaderSize);
    storeI32(p + 4, width);
    storeI32(p + 8, height);
    storeU16(p + 12, planes);
    storeU16(p + 14, bitCount);
    storeU32(p + 16, compression);
    storeU32(p + 20, imageSize);
    storeI32(p + 24, xPelsPerMeter);
    storeI32(p + 28, yPelsPerMeter);
    storeU32(p + 32, coloursUsed);
    storeU32(p + 36, coloursImportant);
}

std::optional<DibLayout> DibLayout::describe(std::span<const std::byte> headerBytes) {
    const auto header = DibHeader::read(headerBytes);
    if (!header) {
        return std::nullopt;
    }
    return describe(*header);
}

std::optional<DibLayout> DibLayout::describe(const DibHeader& h) {
    DibLayout l;
    l.headerSize = h.headerSize;
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) {
        return std::nullopt;
    }
    l.width = h.width;
    l.height = std::abs(h.height);
    l.topDown = h.height < 0;
    if (static_cast<std::int64_t>(l.width) * l.height > kMaxPicturePixels) {
        return std::nullopt;
    }

    l.bitCount = h.bitCount == 0 ? 24 : h.bitCount;
    if (l.bitCount > 32) {
        return std::nullopt;
    }
    l.storageBits = dibStorageBits(l.bitCount);

    if (h.compression > static_cast<std::uint32_t>(Compression::BitFields)) {
        return std::nullopt;
    }
    l.compression = static_cast<Compression>(h.compression);
    switch (l.compression) {
    case Compression::None:
        break;
    case Compression::Rle8:
        if (l.bitCount != 8 || l.topDown) {
            return std::nullopt;
        }
        break;
    case Compression::Rle4:
        if (l.bitCount != 4 || l.topDown) {
            return std::nullopt;
        }
        break;
    case Compression::BitFields:
        if (l.bitCount != 16 && l.bitCount != 32) {
            return std::nullopt;
        }
        break;
    }

    const std::uint32_t fullTable = l.storageBits <= 8 ? (1u << l.storageBits) : 0;
    std::uint32_t entries = 0;
    if (l.isCore()) {
        l.entryBytes = 3;
        entries = fullTable;
    } else if (l.headerSize == kInfoHeaderSize) {
        const std::uint32_t limit = l.storageBits <= 8 ? fullTable : kMaxDeepColourEntries;
        if (h.coloursUsed > limit) {
            return std::nullopt;
        }
        entries = h.coloursUsed != 0 ? h.coloursUsed : fullTable;
    }
    l.colourEntries = static_cast<int>(entries);
    l.colourTableBytes = entries * l.entryBytes;
    l.tableOffset = l.headerSize;
    if (l.compression == Compression::BitFields) {
        l.colourTableBytes += 12;
        l.tableOffset += 12;
    }

    l.rowBytes = dibRowBytes(l.storageBits, l.width);
    if (l.compression == Compression::Rle8 || l.compression == Compression::Rle4) {
        l.imageBytes = h.imageSize;
    } else {
        l.imageBytes = l.rowBytes * static_cast<std::size_t>(l.height);
    }
    l.pixelOffset = l.headerSize + l.colourTableBytes;
    l.totalBytes = l.pixelOffset + l.imageBytes;
    if (l.totalBytes > MemoryBlock::kMaxBytes) {
        return std::nullopt;
    }
    return l;
}

} // namespace vemra
