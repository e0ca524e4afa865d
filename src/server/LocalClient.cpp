#include "server/LocalClient.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

#include "platform/LocalAddresses.h"
#include "server/TcpSocket.h"

namespace sarvo {
namespace {

std::atomic<LocalClientRule> g_rule{LocalClientRule::Recognize};

// Listing the interfaces and resolving the host name costs a netlink exchange and a resolver call;
// every connection from another computer asks, so the answer is kept for a moment. An address added
// to this computer is recognised within that moment.
constexpr auto kAddressesFreshFor = std::chrono::seconds(2);

std::vector<uint32_t> ThisComputersAddresses() {
    static std::mutex lock;
    static std::vector<uint32_t> addresses;
    static std::chrono::steady_clock::time_point readAt;
    static bool read = false;
    std::lock_guard<std::mutex> hold(lock);
    const auto now = std::chrono::steady_clock::now();
    if (!read || now - readAt >= kAddressesFreshFor) {
        addresses = LocalIpv4Addresses();
        readAt = now;
        read = true;
    }
    return addresses;
}

}  // namespace

void SetLocalClientRule(LocalClientRule rule) {
    g_rule.store(rule);
}

bool IsLocalAddress(uint32_t peer, uint32_t ownAddress) {
    if (IsLoopbackAddress(peer) || peer == ownAddress)
        return true;
    std::vector<uint32_t> addresses = ThisComputersAddresses();
    return std::find(addresses.begin(), addresses.end(), peer) != addresses.end();
}

bool IsLocalClient(const TcpSocket& connection) {
    if (g_rule.load() == LocalClientRule::TreatAllAsRemote)
        return false;
    sockaddr_in peer{};
    if (!connection.GetAddress(peer, TcpSocket::AddressSide::Peer))
        return false;
    // Only a client from another address needs the connection's own.
    if (IsLoopbackAddress(peer.sin_addr.s_addr))
        return true;
    sockaddr_in own{};
    uint32_t ownAddress = connection.GetAddress(own, TcpSocket::AddressSide::Local) ? own.sin_addr.s_addr : 0;
    return IsLocalAddress(peer.sin_addr.s_addr, ownAddress);
}

}  // namespace sarvo
