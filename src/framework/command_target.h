#pragma once

#include <optional>

namespace vemra {

// The enabling rule's answer for one command: whether its menu item, button
// and key act, and whether the item carries a check mark.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    friend bool operator==(const CommandState&, const CommandState&) = default;
};

// Anything that handles numbered commands: views, the document, frames and
// the application. Routing asks each target in turn; the first that answers
// owns the command.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    // The enabling rule of command `id`, or nullopt when this target does
    // not handle it (routing then asks the next target).
    virtual std::optional<CommandState> commandState(int id) const;
    // Runs command `id`; false when this target does not handle it.
    virtual bool onCommand(int id);

protected:
    CommandTarget() = default;
    CommandTarget(const CommandTarget&) = default;
    CommandTarget& operator=(const CommandTarget&) = default;
};

} // namespace vemra
