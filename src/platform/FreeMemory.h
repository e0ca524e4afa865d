#pragma once

// Memory the allocator keeps after it is freed.
namespace sarvo {

// Hands the free memory the allocator keeps (in every thread's arena) back to the system. Worth its
// cost after a burst of threads has come and gone, not after every request.
void ReturnFreeMemory();

// Sets the allocator up for a server with many short-lived threads: a few shared arenas rather than
// eight per core. Each arena keeps the top of what a burst made it touch (its limit for giving
// memory back rises once a large block was freed), so fewer arenas keep less after a flood.
void TuneAllocatorForManyThreads();

}  // namespace sarvo
