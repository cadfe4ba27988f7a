#pragma once

namespace vemra {

// Hands back to the system the pages the C library's allocator holds free
// in every arena, the worker threads' included. glibc gives back only the
// top of the main heap by itself; thumbnails made on workers and freed
// later on the interface thread leave their pages free in the workers'
// arenas, where the resident size keeps counting them until reused.
// Costs a walk over the free blocks (about a millisecond for a heap of
// hundreds of megabytes); for moments after much was freed, not for loops.
// Any thread.
void releaseFreeHeap();

} // namespace vemra
