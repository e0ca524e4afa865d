#include "platform/FreeMemory.h"

#include <malloc.h>

namespace sarvo {

namespace {

constexpr int kArenas = 4;
constexpr int kTrimThreshold = 256 * 1024;
constexpr int kMapThreshold = 1024 * 1024;

}  // namespace

void ReturnFreeMemory() {
    ::malloc_trim(0);
}

void TuneAllocatorForManyThreads() {
    ::mallopt(M_ARENA_MAX, kArenas);
    ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    ::mallopt(M_MMAP_THRESHOLD, kMapThreshold);
}

}  // namespace sarvo
