#include "server/LocalClient.h"

#include <algorithm>
#include <atomic>

#include "platform/LocalAddresses.h"
#include "server/TcpSocket.h"

namespace sarvo {
namespace {

std::atomic<LocalClientRule> g_rule{LocalClientRule::Recognize};

}  // namespace

void SetLocalClientRule(LocalClientRule rule) {
    g_rule.store(rule);
}

bool IsLocalAddress(uint32_t peer, uint32_t ownAddress) {
    if (IsLoopbackAddress(peer) || peer == ownAddress)
        return true;
    std::vector<uint32_t> addresses = LocalIpv4Addresses();
    return std::find(addresses.begin(), addresses.end(), peer) != addresses.end();
}

bool IsLocalClient(const TcpSocket& connection) {
    if (g_rule.load() == LocalClientRule::TreatAllAsRemote)
        return false;
    sockaddr_in peer{};
    if (!connection.GetAddress(peer, TcpSocket::AddressSide::Peer))
        return false;
    sockaddr_in own{};
    uint32_t ownAddress = connection.GetAddress(own, TcpSocket::AddressSide::Local) ? own.sin_addr.s_addr : 0;
    return IsLocalAddress(peer.sin_addr.s_addr, ownAddress);
}

}  // namespace sarvo
