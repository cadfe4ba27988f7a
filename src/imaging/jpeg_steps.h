#pragma once

#include "imaging/picture_buffer.h"
#include "imaging/result_code.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vemra {

// The built-in JPEG decoder (1001) run a band at a time, so that work on the
// user-interface thread can give way to input between bands. It decodes
// exactly what the one-call decoder does for the same reduction: the same
// pixels, the same size and the same result code, a damaged stream
// included (rows decoded before the damage are kept and count as success).
//
// The decoder owns its input (a copy of the file or of the bytes; a mapping
// only for a file over 256 MB), so it may be kept from one idle step to the
// next, and a file changed meanwhile does not disturb it. A progressive stream has to
// be read whole before its first row; that reading runs in steps too.
class JpegStepDecoder {
public:
    JpegStepDecoder();
    ~JpegStepDecoder();
    JpegStepDecoder(JpegStepDecoder&&) noexcept;
    JpegStepDecoder& operator=(JpegStepDecoder&&) noexcept;

    // Starts on the file at `path`, read from its first byte as it stands,
    // or on `bytes`, in which a wrapper in front of the JPEG stream is
    // skipped (as the one-call decoder does for files and memory). The
    // reduction is that of DecodeOptions. Success when the rows can be read;
    // otherwise the one-call decoder's code for the same input, and the
    // decoder is finished.
    ResultCode startFile(const std::string& path, int reduction);
    ResultCode startMemory(std::vector<std::byte> bytes, int reduction);

    // Decodes on until the picture is complete or `shouldStop` answers true;
    // it is asked after each batch of rows (or block of progressive data),
    // so every call makes progress. True once finished.
    bool step(const std::function<bool()>& shouldStop);
    bool finished() const;
    // The result code once finished (Failure before).
    ResultCode result() const;
    // The decoded picture once finished with success; empty otherwise.
    PictureBuffer takePicture();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vemra
