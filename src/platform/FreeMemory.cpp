#include "platform/FreeMemory.h"

#include <malloc.h>

namespace sarvo {
namespace {

constexpr int kArenas = 4;

}  // namespace

void ReturnFreeMemory() {
    ::malloc_trim(0);
}

void TuneAllocatorForManyThreads() {
    ::mallopt(M_ARENA_MAX, kArenas);
}

}  // namespace sarvo
