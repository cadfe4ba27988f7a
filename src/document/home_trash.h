#pragma once

#include <string>

namespace vemra {

// Makes sure the folder of the home trash (~/.local/share) exists before a
// file is moved to the trash: Qt takes the home trash from there only when
// the folder exists and otherwise puts "files" and "info" into the current
// folder, where no file manager finds the file again. Empty on success,
// else the reason.
std::string prepareHomeTrash();

} // namespace vemra
