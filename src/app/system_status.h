#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vemra {

// The memory figures the about box shows, in bytes. "Virtual" is what the
// system can commit: physical memory plus swap, as the Windows page-file
// figures count it.
struct MemoryStatus {
    std::uint64_t totalPhysical = 0;
    std::uint64_t freePhysical = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t freeVirtual = 0;
};

// Reads the text of /proc/meminfo ("MemTotal:  16318480 kB" lines): free
// physical memory is MemAvailable (MemFree on kernels without it). Unknown
// or damaged lines are skipped; missing figures stay 0.
MemoryStatus parseMemInfo(std::string_view text);
// The figures of this machine now.
MemoryStatus currentMemoryStatus();

// Version texts of the about box, in place of the Windows DLL versions.
std::string programVersionText(); // the build's version, "β" appended for a pre-release
std::string systemVersionText();  // "Linux <release>" from uname
std::string qtVersionText();      // the Qt library in use
std::string libcVersionText();    // the C library in use

// A version whose third number is not 0 ("0.1.1", "1,0,2,5") is a
// pre-release: its text ends in "β".
std::string versionWithStage(std::string_view version);

// "Unable to open hyperlink:\n\n" and the reason for a shell result code,
// as the Windows shell reported them.
std::string hyperlinkErrorText(int code);

} // namespace vemra
