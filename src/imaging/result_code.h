#pragma once

namespace vemra {

// Results of the decoders and of plug-in operations. The numbers are part of
// the plug-in interface and of stored settings, so they never change.
enum class ResultCode : int {
    Success = 0,
    Failure = -1, // failure, or an unsupported source mode
    Aborted = 1,  // stopped by the progress callback
    InvalidData = 2,
    BrokenData = 3,
    OutOfMemory = 4,
    LibraryFailure = 5,
    ReadError = 6,
    UnsupportedKind = 7,
    OpenFailure = 8,
};

// A short English name for messages, e.g. "invalid data".
const char* resultName(ResultCode code);

} // namespace vemra
