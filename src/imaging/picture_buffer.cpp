#include "imaging/picture_buffer.h"

#include "platform/endian.h"

#include <cstring>

namespace vemra {

PictureBuffer PictureBuffer::allocate(std::size_t bytes) {
    return PictureBuffer(MemoryBlock::allocate(bytes));
}

PictureBuffer PictureBuffer::create(const DibHeader& header) {
    DibHeader h = header;
    h.headerSize = kInfoHeaderSize;
    const auto l = DibLayout::describe(h);
    if (!l) {
        return {};
    }
    PictureBuffer picture = allocate(l->totalBytes);
    if (picture) {
        h.write(picture.block());
    }
    return picture;
}

PictureBuffer PictureBuffer::create(int width, int height, int bitCount, int colours) {
    if (colours < 0) {
        return {};
    }
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<std::uint16_t>(bitCount);
    h.coloursUsed = static_cast<std::uint32_t>(colours);
    if (width > 0 && height > 0 && bitCount > 0 && bitCount <= 32) {
        const std::size_t image = dibRowBytes(bitCount, width) * static_cast<std::size_t>(height);
        h.imageSize = image <= UINT32_MAX ? static_cast<std::uint32_t>(image) : 0;
    }
    return create(h);
}

PictureBuffer PictureBuffer::fromBlock(std::span<const std::byte> bytes) {
    PictureBuffer picture = allocate(bytes.size());
    if (picture) {
        std::memcpy(picture.m_block.data(), bytes.data(), bytes.size());
    }
    return picture;
}

std::optional<DibLayout> PictureBuffer::layout() const {
    auto l = DibLayout::describe(m_block.bytes());
    if (!l || l->totalBytes > m_block.size()) {
        return std::nullopt;
    }
    return l;
}

int PictureBuffer::width() const {
    const auto l = layout();
    return l ? l->width : 0;
}

int PictureBuffer::height() const {
    const auto l = layout();
    return l ? l->height : 0;
}

int PictureBuffer::bitCount() const {
    const auto l = layout();
    return l ? l->bitCount : 0;
}

Compression PictureBuffer::compression() const {
    const auto l = layout();
    return l ? l->compression : Compression::None;
}

int PictureBuffer::colourEntries() const {
    const auto l = layout();
    return l ? l->colourEntries : 0;
}

std::size_t PictureBuffer::colourTableBytes() const {
    const auto l = layout();
    return l ? l->colourTableBytes : 0;
}

std::size_t PictureBuffer::rowBytes() const {
    const auto l = layout();
    return l ? l->rowBytes : 0;
}

std::size_t PictureBuffer::imageBytes() const {
    const auto l = layout();
    return l ? l->imageBytes : 0;
}

std::size_t PictureBuffer::totalBytes() const {
    const auto l = layout();
    return l ? l->totalBytes : 0;
}

std::size_t PictureBuffer::pixelOffset() const {
    const auto l = layout();
    return l ? l->pixelOffset : 0;
}

bool PictureBuffer::isCoreHeader() const {
    const auto l = layout();
    return l && l->isCore();
}

std::optional<DibHeader> PictureBuffer::header() const {
    if (!layout()) {
        return std::nullopt;
    }
    return DibHeader::read(m_block.bytes());
}

bool PictureBuffer::setHeader(const DibHeader& header) {
    const auto current = layout();
    if (!current || current->headerSize != kInfoHeaderSize) {
        return false;
    }
    DibHeader h = header;
    h.headerSize = kInfoHeaderSize;
    const auto next = DibLayout::describe(h);
    if (!next || next->totalBytes > m_block.size()) {
        return false;
    }
    h.write(m_block.bytes());
    return true;
}

void PictureBuffer::setResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter) {
    const auto l = layout();
    if (l && l->headerSize == kInfoHeaderSize) {
        storeI32(m_block.data() + 24, xPelsPerMeter);
        storeI32(m_block.data() + 28, yPelsPerMeter);
    }
}

std::span<std::byte> PictureBuffer::colourTable() {
    const auto l = layout();
    if (!l) {
        return {};
    }
    return m_block.bytes().subspan(l->tableOffset,
                                   static_cast<std::size_t>(l->colourEntries) * l->entryBytes);
}

std::span<const std::byte> PictureBuffer::colourTable() const {
    return const_cast<PictureBuffer*>(this)->colourTable();
}

ColourWord PictureBuffer::paletteColour(int index) const {
    const auto l = layout();
    if (!l || index < 0 || index >= l->colourEntries) {
        return 0;
    }
    const std::byte* e =
        m_block.data() + l->tableOffset + static_cast<std::size_t>(index) * l->entryBytes;
    return colourWord(std::to_integer<int>(e[2]), std::to_integer<int>(e[1]),
                      std::to_integer<int>(e[0]));
}

void PictureBuffer::setPaletteColour(int index, ColourWord colour) {
    const auto l = layout();
    if (!l || index < 0 || index >= l->colourEntries) {
        return;
    }
    std::byte* e =
        m_block.data() + l->tableOffset + static_cast<std::size_t>(index) * l->entryBytes;
    e[0] = static_cast<std::byte>(blueOf(colour));
    e[1] = static_cast<std::byte>(greenOf(colour));
    e[2] = static_cast<std::byte>(redOf(colour));
    if (l->entryBytes == 4) {
        e[3] = std::byte{0};
    }
}

std::span<const std::byte> PictureBuffer::bitFieldMasks() const {
    const auto l = layout();
    if (!l || l->compression != Compression::BitFields) {
        return {};
    }
    return m_block.bytes().subspan(l->headerSize, 12);
}

std::span<std::byte> PictureBuffer::pixels() {
    const auto l = layout();
    if (!l) {
        return {};
    }
    return m_block.bytes().subspan(l->pixelOffset, l->imageBytes);
}

std::span<const std::byte> PictureBuffer::pixels() const {
    return const_cast<PictureBuffer*>(this)->pixels();
}

std::byte* PictureBuffer::rowPointer(const DibLayout& l, int y) {
    if (y < 0 || y >= l.height || l.compression == Compression::Rle8 ||
        l.compression == Compression::Rle4) {
        return nullptr;
    }
    const auto stored = static_cast<std::size_t>(l.topDown ? y : l.height - 1 - y);
    return m_block.data() + l.pixelOffset + stored * l.rowBytes;
}

std::span<std::byte> PictureBuffer::row(int y) {
    const auto l = layout();
    std::byte* p = l ? rowPointer(*l, y) : nullptr;
    return p != nullptr ? std::span<std::byte>(p, l->rowBytes) : std::span<std::byte>();
}

std::span<const std::byte> PictureBuffer::row(int y) const {
    return const_cast<PictureBuffer*>(this)->row(y);
}

std::uint32_t PictureBuffer::pixel(int x, int y) const {
    const auto l = layout();
    const std::byte* r = l ? const_cast<PictureBuffer*>(this)->rowPointer(*l, y) : nullptr;
    if (r == nullptr || x < 0 || x >= l->width) {
        return 0;
    }
    const auto ux = static_cast<std::size_t>(x);
    switch (l->bitCount) {
    case 24:
        return colourWord(std::to_integer<int>(r[ux * 3 + 2]), std::to_integer<int>(r[ux * 3 + 1]),
                          std::to_integer<int>(r[ux * 3]));
    case 8:
        return std::to_integer<std::uint32_t>(r[ux]);
    case 4:
        return std::to_integer<std::uint32_t>(r[ux / 2] >> (ux % 2 == 0 ? 4 : 0)) & 0x0F;
    case 1:
        return std::to_integer<std::uint32_t>(r[ux / 8] >> (7 - ux % 8)) & 0x01;
    default:
        return 0;
    }
}

void PictureBuffer::setPixel(int x, int y, std::uint32_t value) {
    const auto l = layout();
    std::byte* r = l ? rowPointer(*l, y) : nullptr;
    if (r == nullptr || x < 0 || x >= l->width) {
        return;
    }
    const auto ux = static_cast<std::size_t>(x);
    switch (l->bitCount) {
    case 24:
        r[ux * 3] = static_cast<std::byte>(blueOf(value));
        r[ux * 3 + 1] = static_cast<std::byte>(greenOf(value));
        r[ux * 3 + 2] = static_cast<std::byte>(redOf(value));
        break;
    case 8:
        r[ux] = static_cast<std::byte>(value);
        break;
    case 4: {
        const int shift = ux % 2 == 0 ? 4 : 0;
        const auto keep = static_cast<std::byte>(0x0F << (4 - shift));
        r[ux / 2] = (r[ux / 2] & keep) | static_cast<std::byte>((value & 0x0F) << shift);
        break;
    }
    case 1: {
        const auto bit = static_cast<std::byte>(0x80 >> (ux % 8));
        r[ux / 8] = (value & 1) != 0 ? (r[ux / 8] | bit) : (r[ux / 8] & ~bit);
        break;
    }
    default:
        break;
    }
}

PictureBuffer PictureBuffer::duplicate() const {
    return fromBlock(m_block.bytes());
}

} // namespace vemra
