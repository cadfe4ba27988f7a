#pragma once

#include <functional>

namespace vemra {

// The program's own changes to files (copy, move, delete, rename, a drop)
// announce themselves while they run, so that folder monitors do not take
// them for changes made by other programs: the operation refreshes what it
// changed itself, and a second reading of the folder half a second later
// would only make the window flicker.
//
// Open one scope per operation, on the interface thread, where the file
// operations run behind their progress window. Scopes nest; when the last
// one closes, the listeners are told at once (still inside the closing
// call), so a monitor can throw away the notices its own operation left
// waiting before the event loop hands them over.
class OwnFileOperation {
public:
    OwnFileOperation();
    ~OwnFileOperation();
    OwnFileOperation(const OwnFileOperation&) = delete;
    OwnFileOperation& operator=(const OwnFileOperation&) = delete;

    // True while any scope is open.
    static bool running();

    // Called each time the last open scope closes. Returns an id for
    // removeEndListener.
    static int addEndListener(std::function<void()> listener);
    static void removeEndListener(int id);
};

} // namespace vemra
