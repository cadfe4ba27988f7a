#pragma once

#include "imaging/decoder.h"

// The entries the decoder table is made of, one per decoder file.
namespace vemra {

extern const BuiltinDecoder kBmpDecoder;
extern const BuiltinDecoder kJpegDecoder;
extern const BuiltinDecoder kGifDecoder;
extern const BuiltinDecoder kTiffDecoder;
extern const BuiltinDecoder kTextDecoder;
extern const BuiltinDecoder kAviDecoder;
extern const BuiltinDecoder kMpegDecoder;
extern const BuiltinDecoder kPngDecoder;
extern const BuiltinDecoder kGif2Decoder;

} // namespace vemra
