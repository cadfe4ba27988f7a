#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"

#include <vemra/spi.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The decoders built into the program. Each offers the three operations of a
// picture plug-in (identify, info, picture) with the plug-in's conventions, so
// the registry can treat built-ins and plug-ins alike:
//   - a source is a file name plus the byte offset where the picture begins
//     (mode 0), or a memory block plus its length (mode 1), in the low 3 bits
//     of `mode`; any other mode answers -1;
//   - identification gets a pointer to at least 2048 bytes of the file's
//     start, or an open file descriptor (a value below 0x10000) positioned at
//     the data, which is read and then put back where it was;
//   - results are ResultCode values as integers.
namespace vemra {

using DecoderId = int;
inline constexpr DecoderId kNoDecoder = -1;

inline constexpr DecoderId kBmpDecoderId = 1000;
inline constexpr DecoderId kJpegDecoderId = 1001;
inline constexpr DecoderId kGifDecoderId = 1002;
inline constexpr DecoderId kTiffDecoderId = 1003;
inline constexpr DecoderId kTextDecoderId = 1004;
inline constexpr DecoderId kAviDecoderId = 1005;
inline constexpr DecoderId kMpegDecoderId = 1006;
inline constexpr DecoderId kPngDecoderId = 1007;
inline constexpr DecoderId kGif2DecoderId = 1008;

// How plain text is laid out as a picture: the page is charactersPerLine x
// fontHeight wide and linesPerPage x fontHeight high.
struct TextPageLayout {
    int charactersPerLine = 40;
    int linesPerPage = 40;
    int fontHeight = 12;
    std::string fontFace = "ＭＳ ゴシック";
};

// What the picture operation is asked for besides the source. The decoding
// policy set by the user (the JPEG shortcut, the text page) travels with
// each request, so decoders keep no process-wide state and two registries
// with different settings never disturb each other.
struct DecodeOptions {
    // The size the picture will be shown at, or none (negative, or both 0).
    // Only the text renderer uses it, as its page size.
    int requestedWidth = -1;
    int requestedHeight = -1;
    // 1 = full size; JPEG decodes at 1/2, 1/4 or 1/8 size when it is larger.
    int reduction = 1;
    ProgressCallback progress = nullptr;
    std::intptr_t userData = 0;
    // "#InnerJPEG_FAST" (0-3): the JPEG reduction is halved this many times
    // more, trading sharpness for speed.
    int jpegReductionShift = 0;
    TextPageLayout textLayout;

    // The JPEG decoder's scale denominator for this request: 1, 2, 4 or 8.
    int jpegDenominator() const;

    bool hasRequestedSize() const {
        return requestedWidth >= 0 && requestedHeight >= 0 &&
               (requestedWidth != 0 || requestedHeight != 0);
    }
};

struct BuiltinDecoder {
    DecoderId id;
    std::string_view label;      // shown in lists and used as settings key
    std::string_view extensions; // "*.BMP;*.RLE"
    std::string_view switchName; // "#InnerBMP"
    bool onByDefault;
    // The plug-in-style information list: "00IN", a banner, then pairs of
    // extension pattern and file-type name.
    std::span<const std::string_view> information;

    bool (*identify)(const char* fileName, const void* header);
    int (*info)(const char* source, std::intptr_t offsetOrLength, unsigned mode, PictureInfo& info,
                const DecodeOptions& options);
    int (*picture)(const char* source, std::intptr_t offsetOrLength, unsigned mode,
                   PictureBuffer& out, const DecodeOptions& options);
    // Optional: info and picture from one reading of the header, for a
    // picture whose size is not known yet. `info` gets what the info
    // operation gives, and the picture is decoded at the reduction
    // thumbnailReduction() chooses from the header's size for
    // options.requestedWidth x requestedHeight when both are positive
    // (otherwise at options.reduction). On success both are exactly what
    // info followed by picture would give; a source where they might differ
    // answers Failure, and the caller then takes the two operations.
    int (*pictureAndInfo)(const char* source, std::intptr_t offsetOrLength, unsigned mode,
                          PictureInfo& info, PictureBuffer& out,
                          const DecodeOptions& options) = nullptr;
};

// The reduction asked of a decoder for a picture of `width` x `height` shown
// in `requestedWidth` x `requestedHeight`: the larger whole ratio, at least
// 1; 1 when no size is requested.
int thumbnailReduction(int width, int height, int requestedWidth, int requestedHeight);

// The built-ins in the order identification tries them: BMP, PNG, TIFF, JPEG,
// TEXT, AVI, MPEG, GIF, GIF2.
std::span<const BuiltinDecoder> builtinDecoders();
// The decoder with `id`, or null.
const BuiltinDecoder* findBuiltinDecoder(DecoderId id);
// The decoder whose label is `label` (ignoring case), or null.
const BuiltinDecoder* findBuiltinDecoder(std::string_view label);

// Reads a "TXTSize" setting ("chars,lines") over `layout`; a zero, missing
// or absurd field keeps the value it had.
TextPageLayout textLayoutFromSetting(std::string_view value, TextPageLayout layout = {});

} // namespace vemra
