#pragma once

/**
 * How the program asks the C library to manage its memory. Called once, first thing in main
 * (and by the benchmarks that stand in for the program).
 */
namespace MemoryPolicy {

/// Gives every large buffer (a capture's pixels, its compressed copy, a decoded image) pages of
/// its own that go back to the system when it is freed. By default glibc raises its threshold
/// for that after the first such buffer is freed and carves later ones out of the heap, whose
/// holes it seldom returns: with a stack of 4K captures that kept about 90 MB resident that
/// no capture used.
void keepLargeBuffersSeparate();

} // namespace MemoryPolicy
