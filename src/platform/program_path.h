#pragma once

#include <string>

namespace vemra {

// The running program's file (from /proc/self/exe), empty when the system
// does not tell.
std::string executablePath();
// The folder holding the program, without a trailing "/"; what "$(ExeDir)"
// in folder settings stands for.
std::string executableDir();

} // namespace vemra
