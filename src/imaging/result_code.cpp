#include "imaging/result_code.h"

namespace vemra {

const char* resultName(ResultCode code) {
    switch (code) {
    case ResultCode::Success:
        return "success";
    case ResultCode::Failure:
        return "failure";
    case ResultCode::Aborted:
        return "aborted";
    case ResultCode::InvalidData:
        return "invalid data";
    case ResultCode::BrokenData:
        return "data broken";
    case ResultCode::OutOfMemory:
        return "out of memory";
    case ResultCode::LibraryFailure:
        return "library failure";
    case ResultCode::ReadError:
        return "file read error";
    case ResultCode::UnsupportedKind:
        return "unsupported kind of picture";
    case ResultCode::OpenFailure:
        return "file open failure";
    }
    return "unknown result";
}

} // namespace vemra
