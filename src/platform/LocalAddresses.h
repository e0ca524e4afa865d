#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The addresses by which this computer is known. The server admits its own addresses always and
// shows the first one in the site's URL, so the order matters: a real interface address must come
// before any loopback address, including the 127.0.1.1 that many distributions give the host name.
namespace sarvo {

// The host name, or "" when it cannot be read.
std::string GetHostName();

// IPv4 addresses in network byte order: the interfaces' addresses that are not loopback, in the
// system's order; then the host name's resolved addresses that are not loopback and not yet listed;
// then every loopback address (interfaces first), each once.
std::vector<uint32_t> LocalIpv4Addresses();

// The ordering rule of LocalIpv4Addresses over given lists (network byte order), kept apart so that
// it can be tested with any addresses.
std::vector<uint32_t> MergeLocalAddresses(const std::vector<uint32_t>& interfaceAddresses,
                                          const std::vector<uint32_t>& resolvedAddresses);

// 127.0.0.0/8, address in network byte order.
bool IsLoopbackAddress(uint32_t address);

}  // namespace sarvo
