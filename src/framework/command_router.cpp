#include "framework/command_router.h"

#include <utility>

namespace vemra {

void CommandRouter::setTarget(Level level, CommandTarget* target) {
    m_targets[static_cast<std::size_t>(level)] = target;
}

CommandTarget* CommandRouter::target(Level level) const {
    if (level == Level::ActiveView && m_activeView)
        return m_activeView();
    return m_targets[static_cast<std::size_t>(level)];
}

void CommandRouter::setActiveViewProvider(std::function<CommandTarget*()> provider) {
    m_activeView = std::move(provider);
}

std::array<CommandTarget*, 4> CommandRouter::chain() const {
    return {target(Level::ActiveView), target(Level::Document), target(Level::Frame),
            target(Level::Application)};
}

CommandTarget* CommandRouter::owner(int id) const {
    for (CommandTarget* t : chain()) {
        if (t && t->commandState(id))
            return t;
    }
    return nullptr;
}

CommandState CommandRouter::state(int id) const {
    for (CommandTarget* t : chain()) {
        if (!t)
            continue;
        if (const auto s = t->commandState(id))
            return *s;
    }
    return CommandState{false, false};
}

bool CommandRouter::route(int id) {
    for (CommandTarget* t : chain()) {
        if (!t)
            continue;
        const auto s = t->commandState(id);
        if (!s)
            continue;
        // The rule is asked again right before running, as the state may
        // have changed since the menu was shown.
        return s->enabled && t->onCommand(id);
    }
    return false;
}

} // namespace vemra
