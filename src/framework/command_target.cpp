#include "framework/command_target.h"

namespace vemra {

std::optional<CommandState> CommandTarget::commandState(int) const {
    return std::nullopt;
}

bool CommandTarget::onCommand(int) {
    return false;
}

} // namespace vemra
