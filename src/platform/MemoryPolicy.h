#pragma once

/**
 * How the program deals with the C library's memory beyond plain allocation. Used by the
 * capture store, whose large buffers come and go.
 */
namespace MemoryPolicy {

/// Gives the pages of freed memory back to the system, holes in the middle of the heap
/// included. glibc keeps them otherwise: after each capture's raw pixels make way for their
/// compressed copy, a screen-sized hole stays resident (about 90 MB after 100 4K captures).
/// Takes a few milliseconds: call it off the UI thread.
void releaseFreedMemory();

} // namespace MemoryPolicy
