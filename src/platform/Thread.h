#pragma once

#include <cstddef>
#include <functional>

namespace sarvo {

// Connection threads are detached and never joined. Only the pages a thread touches are resident;
// the C library keeps the stacks of ended threads for reuse up to a fixed total size, so a larger
// stack means fewer kept after a burst of thousands (1 MiB: about 40 of them).
inline constexpr size_t kConnectionThreadStackSize = 1024 * 1024;

// Starts a detached thread with the given stack size. False when the thread could not be created;
// the work has then not run and the caller still owns whatever it meant to hand over.
bool StartDetachedThread(std::function<void()> work, size_t stackSize);

// Names the calling thread as tools that list threads show it (at most 15 characters are kept).
void NameCurrentThread(const char* name);

}  // namespace sarvo
