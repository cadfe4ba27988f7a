#pragma once

#include "imaging/picture_buffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The block structure of GIF files (GIF87a and GIF89a): the logical screen,
// then extensions and images up to the trailer. Shared by both GIF decoders
// and by the frame walker; every read is bounds-checked.
namespace vemra {

inline constexpr std::size_t kGifSignatureBytes = 6;
inline constexpr std::size_t kGifScreenEnd = 13; // signature + screen descriptor

bool hasGifSignature(std::span<const std::byte> data);

struct GifScreen {
    int width = 0;
    int height = 0;
    int colourBits = 1; // (packed & 7) + 1, whether or not a table follows
    int background = 0;
    bool hasGlobalTable = false;
    std::span<const std::byte> globalTable; // 3 bytes per entry, red first
    std::size_t blocksStart = 0;            // first byte after the global table
};

// Nullopt when the data is shorter than the screen and its global table.
std::optional<GifScreen> readGifScreen(std::span<const std::byte> data);

// One image with the graphic-control values that preceded it.
struct GifImage {
    std::size_t firstBlock = 0; // the first extension before the descriptor, or the descriptor
    std::size_t descriptor = 0; // the 0x2C byte
    std::size_t lzwStart = 0;   // the minimum-code-size byte
    std::size_t end = 0;        // just after the data's terminating sub-block
    bool complete = false;      // the data sub-blocks end inside the data
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    bool hasLocalTable = false;
    int localBits = 0;
    std::span<const std::byte> localTable;
    int delay = 0;        // hundredths of a second
    int disposal = 0;     // 0-7
    int transparent = -1; // index, or -1
};

enum class GifBlock { Image, Trailer, End, Unknown };

// Walks the blocks after the screen. next() skips extensions (recording the
// graphic control and the first comment) and stops at an image, the
// trailer, the end of the data, or a byte that starts no block.
class GifWalker {
public:
    GifWalker(std::span<const std::byte> data, std::size_t start) : m_data(data), m_at(start) {}

    GifBlock next(GifImage& image);
    // Where the walker stands: after the last image, or at the byte that
    // started no block.
    std::size_t position() const { return m_at; }
    const std::string& comment() const { return m_comment; }
    bool sawComment() const { return m_sawComment; }

private:
    // Skips sub-blocks from `at`; false when the data ends first.
    bool skipSubBlocks(std::size_t& at) const;

    std::span<const std::byte> m_data;
    std::size_t m_at;
    std::string m_comment;
    bool m_sawComment = false;
};

// Colour bits of an image: its local table's, else the screen's.
inline int gifColourBits(const GifScreen& screen, const GifImage& image) {
    return image.hasLocalTable ? image.localBits : screen.colourBits;
}

// The colours an image uses (local table, else global), 3 bytes per entry;
// empty when there is none.
inline std::span<const std::byte> gifColourTable(const GifScreen& screen, const GifImage& image) {
    return image.hasLocalTable ? image.localTable : screen.globalTable;
}

} // namespace vemra
