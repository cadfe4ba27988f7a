#pragma once

#include "imaging/picture_buffer.h"

#include <span>
#include <string>
#include <string_view>

namespace vemra::cli {

// How `decode` and `reduce` write their result.
struct OutputOptions {
    int quality = 90;
    bool progressive = false;
    bool grey = false;
    int bits = 0; // reduce to a palette of this depth first (BMP and PNG)
};

// Writes `picture` with the encoder that OUT's extension names (.bmp, .jpg,
// .jpeg, .png, any case): 0 on success, 1 with a message on failure, 2 for
// an extension no encoder takes.
int writeByExtension(const std::string& path, const PictureBuffer& picture,
                     const OutputOptions& options);

// Parses one output option at args[i] (advancing i past its value); false
// when args[i] is not an output option.
bool parseOutputOption(std::span<const std::string_view> args, std::size_t& i,
                       OutputOptions& options, bool& usageFault);

int runReduce(std::span<const std::string_view> args);

} // namespace vemra::cli
