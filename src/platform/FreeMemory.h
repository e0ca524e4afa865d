#pragma once

// Memory the allocator keeps after it is freed.
namespace sarvo {

// Hands the free memory the allocator keeps (in every thread's arena) back to the system. Worth its
// cost after a burst of threads has come and gone, not after every request.
void ReturnFreeMemory();

// Sets the allocator up for a server with many short-lived threads: a few shared arenas rather than
// one per core and a half, and fixed limits for giving memory back. Left to themselves, the limits
// rise after any large block is freed, and every arena then keeps what a burst made it touch.
void TuneAllocatorForManyThreads();

}  // namespace sarvo
