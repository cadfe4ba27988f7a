#pragma once

#include "document/picture_conversion.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vemra {

// One picture of a batch conversion: where it comes from, where it goes,
// its size when known, and how to decode it (called on a worker thread).
struct ConversionJob {
    std::string target;
    PictureSize full;
    ReducedDecode decode;
    // The file whose embedded colour profile the picture's colours are in
    // (read on the worker); empty: untagged.
    std::string profileSource;
};

struct ConversionJobResult {
    int decodeCode = 0; // the decoder's result code (0: decoded)
    bool written = false;
};

// Converts `jobs` on `threads` threads of its own (1: on the calling
// thread alone). Every job is a pure function of its values, and each
// writes only its own target, so the files are the same whatever the
// number of threads; the targets must differ from each other.
//
// `report` is called on the calling thread once per job, in job order, as
// soon as that job and all before it are done; answering true stops the
// batch (jobs already running finish, no new one starts). Returns the
// results in job order (stopped jobs keep default results).
std::vector<ConversionJobResult>
runConversions(std::vector<ConversionJob> jobs, const ConversionSettings& settings, int threads,
               const std::function<bool(std::size_t, const ConversionJobResult&)>& report = {});

// The number of threads "as many as the machine has cores" means.
int defaultConversionThreads();

} // namespace vemra
