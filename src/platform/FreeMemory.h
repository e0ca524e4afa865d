#pragma once

// Memory the allocator keeps after it is freed.
namespace sarvo {

// Hands the free memory the allocator keeps (in every thread's arena) back to the system. Worth its
// cost after a burst of threads has come and gone, not after every request.
void ReturnFreeMemory();

}  // namespace sarvo
