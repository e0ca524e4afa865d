#include "platform/TickCount.h"

#include <chrono>

namespace sarvo {

uint32_t TickCountMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace sarvo
