#pragma once

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

#include "services/CommunityMemberClient.h"

// The login thread of the member side: while this server runs and is a member, it logs in to every
// host at once when woken, and every five minutes.
namespace sarvo {

inline constexpr std::chrono::minutes kCommunityLoginInterval{5};

struct CommunityLoginReport {
    std::string id;
    LoginOutcome outcome;
};

// Starts the thread; later calls do nothing. Started by the front end that runs the server.
void StartCommunityLogins();
// Makes the thread start a pass now (after the server starts listening, after the owner's edits).
void WakeCommunityLogins();
// Ends the thread and waits for it (a login under way ends at its next receive step); the front end
// calls it before it exits.
void StopCommunityLogins();

// One pass on the caller's thread: every host record, one after the other, whatever the settings say.
std::vector<CommunityLoginReport> RunCommunityLoginPass(std::stop_token stop = {});

}  // namespace sarvo
