#pragma once

#include <cstddef>
#include <functional>

namespace sarvo {

// Connection threads live for one request and are never joined; a small stack lets thousands of them
// exist at once without reserving gigabytes of address space.
inline constexpr size_t kConnectionThreadStackSize = 256 * 1024;

// Starts a detached thread with the given stack size. False when the thread could not be created;
// the work has then not run and the caller still owns whatever it meant to hand over.
bool StartDetachedThread(std::function<void()> work, size_t stackSize);

// Names the calling thread as tools that list threads show it (at most 15 characters are kept).
void NameCurrentThread(const char* name);

}  // namespace sarvo
