#pragma once

class QWidget;

namespace vemra {

// Closes `window` (saving what closing saves) when the process is asked to
// end with SIGTERM, SIGINT or SIGHUP, as a session logout or Ctrl+C does,
// instead of dying with its settings unwritten. The signal only writes a byte
// to a pipe; the close happens in the event loop. Call once, on the main
// thread, while the event loop is to run.
void closeOnTerminationSignals(QWidget* window);

} // namespace vemra
