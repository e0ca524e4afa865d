#pragma once

#include <optional>

// The process priority classes the owner can choose. Idle lets every other program on the desktop go
// first; the server still answers, only later when the computer is busy.
namespace sarvo {

enum class ProcessPriority { Normal, Idle };

inline constexpr int kNormalNiceValue = 0;
inline constexpr int kIdleNiceValue = 19;

// Applies to every thread of the process, and so to the threads they start later. Idle is nice 19
// plus the SCHED_IDLE policy where the system allows it; Normal is nice 0 and SCHED_OTHER. The result
// is whether the nice value could be set for all threads: lowering it back to 0 needs privilege
// (CAP_SYS_NICE or RLIMIT_NICE), so Normal after Idle fails for an ordinary user, and the process
// stays idle.
bool SetProcessPriority(ProcessPriority priority);

// The calling thread's nice value (0 when it cannot be read).
int CurrentNiceValue();

// Idle at nice 19, Normal at nice 0, nothing for any other value (set from outside, with renice).
std::optional<ProcessPriority> CurrentProcessPriority();

}  // namespace sarvo
