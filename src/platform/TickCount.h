#pragma once

#include <cstdint>

namespace sarvo {

// Milliseconds of a monotonic clock, cut to 32 bits as a tick count is: it wraps after about 49 days,
// so spans are taken by unsigned subtraction. Never moves backwards when the wall clock is set.
uint32_t TickCountMs();

}  // namespace sarvo
