#include "server/ClientQuota.h"

#include <mutex>
#include <unordered_map>

namespace sarvo {
namespace {

std::mutex g_lock;
// Only addresses that hold a place are kept, so the table never outgrows the connection bound.
std::unordered_map<uint32_t, int> g_held;

}  // namespace

bool TakeClientPlace(uint32_t address) {
    std::lock_guard<std::mutex> hold(g_lock);
    int& held = g_held[address];
    if (held >= kMaxConnectionsPerClient)
        return false;
    ++held;
    return true;
}

void ReleaseClientPlace(uint32_t address) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto found = g_held.find(address);
    if (found == g_held.end())
        return;
    if (--found->second <= 0)
        g_held.erase(found);
}

}  // namespace sarvo
