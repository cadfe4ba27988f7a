// Built-in decoder 1006: MPEG files are listed under their own kind, but no
// frame is ever decoded from them; the decoder takes no file.

#include "imaging/builtin_decoders.h"
#include "imaging/decoder_source.h"

namespace vemra {
namespace {

bool identify(const char* /*fileName*/, const void* /*header*/) {
    return false;
}

int info(const char*, std::intptr_t, unsigned, PictureInfo&, const DecodeOptions&) {
    return static_cast<int>(ResultCode::Failure);
}

int picture(const char*, std::intptr_t, unsigned mode, PictureBuffer&, const DecodeOptions&) {
    switch (sourceMode(mode)) {
    case SPI_SOURCE_FILE:
        return static_cast<int>(ResultCode::ReadError);
    case SPI_SOURCE_MEMORY:
        return static_cast<int>(ResultCode::BrokenData);
    default:
        return static_cast<int>(ResultCode::Failure);
    }
}

constexpr std::string_view kInformation[] = {
    "00IN",
    "MPEG to DIB filter Ver 0.01 (Vemra)",
    "*.mpg",
    "MPEG",
};

} // namespace

const BuiltinDecoder kMpegDecoder = {
    kMpegDecoderId, "--MPG--", "*.MPG;*.MPEG", "#InnerMPG", false,
    kInformation,   identify,  info,           picture,
};

} // namespace vemra
