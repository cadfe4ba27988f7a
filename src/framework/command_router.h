#pragma once

#include "framework/command_target.h"

#include <array>
#include <functional>

namespace vemra {

// Routes numbered commands through a window's chain of handlers: the active
// view, the document, the frame, then the application. The first target
// whose enabling rule answers owns the command. A command nobody answers is
// disabled, so no menu item or button ever looks usable without a handler;
// and a disabled command is never run, even from a key.
//
// The router does not own its targets; whoever sets one clears it (or sets
// another) before the target is destroyed. The active view may instead be
// given as a function, asked afresh on every routing (focus moves freely).
class CommandRouter {
public:
    enum class Level { ActiveView, Document, Frame, Application };

    void setTarget(Level level, CommandTarget* target);
    CommandTarget* target(Level level) const;
    // Asks `provider` for the active view each time; overrides setTarget for
    // Level::ActiveView while set (pass an empty function to drop it).
    void setActiveViewProvider(std::function<CommandTarget*()> provider);

    // The first target in routing order that answers for `id`, or null.
    CommandTarget* owner(int id) const;
    // The owner's enabling rule; {false, false} when nobody answers.
    CommandState state(int id) const;
    // Runs `id` in its owner when it is enabled. True when a handler ran it.
    bool route(int id);

private:
    std::array<CommandTarget*, 4> chain() const;

    std::array<CommandTarget*, 4> m_targets{};
    std::function<CommandTarget*()> m_activeView;
};

} // namespace vemra
