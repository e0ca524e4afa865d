#pragma once

// Limits the system puts on the process.
namespace sarvo {

// Raises the soft limit on open descriptors to the hard limit. Every connection holds one descriptor,
// and the usual soft limit of 1024 would refuse clients long before the server's own bound on
// connection threads. Returns the limit now in force (0 when it cannot be read).
unsigned long RaiseOpenFileLimit();

}  // namespace sarvo
