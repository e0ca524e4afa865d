#pragma once

#include <chrono>
#include <functional>

// The threads that serve connections. Each serves one connection for its whole life and then waits
// for the next one; a connection that finds no thread waiting gets a new one at once, so no
// connection ever waits for a thread that another holds. Creating and ending a thread costs more than
// answering a small request, which is why they are kept for a while.
namespace sarvo {

// A thread that has waited this long without a connection ends.
inline constexpr auto kIdleConnectionThreadLifetime = std::chrono::seconds(10);

// Runs the work on a waiting thread, or on a new one when none is waiting. False when no thread could
// be started; the work has then not run and the caller still owns whatever it meant to hand over.
bool RunOnConnectionThread(std::function<void()> work);

}  // namespace sarvo
