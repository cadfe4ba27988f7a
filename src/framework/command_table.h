#pragma once

#include "framework/command_id.h"

#include <array>
#include <span>
#include <string_view>

namespace vemra {

// Each kind of window has its own accelerator table: the same key means
// different commands in the main window and in a viewer ("C" copies the
// selection in one and the shown picture in the other), and a command may
// read differently in another window's menu.
enum class CommandScope { MainWindow, Viewer, SlideShow };

// One command as a window's menus and accelerators know it.
struct CommandInfo {
    int id = kCmdNone;
    // The menu text with its "(&X)" mnemonic, as Qt takes it; empty for a
    // command that only a key or a tool-bar button sends.
    std::string_view text;
    // Accelerator keys in Qt's portable key text ("Ctrl+S", "F2", "Del",
    // "Num++" for the keypad plus); unused slots are empty.
    std::array<std::string_view, 3> keys{};

    // The keys in use, without the empty slots.
    std::span<const std::string_view> keyList() const;
};

// One entry of a menu layout: a command (id > 0), a separator (id 0 and no
// text), or a popup (id 0, its title in `text`, its items in `items`).
struct MenuItem {
    int id = kCmdNone;
    std::string_view text;
    std::span<const MenuItem> items;

    bool isSeparator() const { return id == kCmdNone && text.empty(); }
    bool isPopup() const { return id == kCmdNone && !text.empty(); }
};

// Every command a window of the given kind knows, in menu order.
std::span<const CommandInfo> commandTable(CommandScope scope);

// The command `id` in the window kind's table, or null when it has none.
const CommandInfo* findCommand(int id, CommandScope scope = CommandScope::MainWindow);

// The menu text of `id` in that window kind, falling back to the main
// window's text; empty when neither table names it.
std::string_view commandText(int id, CommandScope scope = CommandScope::MainWindow);

// The command the key (portable text, exact spelling as in the table) sends
// in that window kind, or kCmdNone.
int commandForKey(std::string_view key, CommandScope scope = CommandScope::MainWindow);

// The main window's menu bar: popups of items, in order.
std::span<const MenuItem> mainMenuLayout();

// The picture viewer's menu bar: popups of items, in order.
std::span<const MenuItem> viewerMenuLayout();

// The slide show's popup menu.
std::span<const MenuItem> slideShowMenuLayout();

// The thumbnail grid's context menus, as command ids (kCmdNone: a
// separator): for one entry, and for a selection of two or more. The grid
// puts a title item and the external applications in front.
std::span<const int> gridEntryMenu();
std::span<const int> gridSelectionMenu();

} // namespace vemra
