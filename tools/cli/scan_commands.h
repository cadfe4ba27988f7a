#pragma once

#include <span>
#include <string_view>

namespace vemra::cli {

// "scan FOLDER [options]": the folder document's listing of a folder (or of
// an archive file's members), one line per displayed entry, then the status
// texts.
int runScan(std::span<const std::string_view> args);

} // namespace vemra::cli
