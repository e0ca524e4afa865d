#pragma once

// The machine-wide marker that the first-run step (shortcuts, idle priority) has been done.
namespace sarvo {

bool HasInitFlag();
bool SetInitFlag();

}  // namespace sarvo
