#include "platform/FreeMemory.h"

#include <malloc.h>

namespace sarvo {

void ReturnFreeMemory() {
    ::malloc_trim(0);
}

}  // namespace sarvo
