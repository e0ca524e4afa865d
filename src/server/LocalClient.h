#pragma once

#include <cstdint>

// Whether a client is this computer itself: such clients are always admitted and may be left out of
// the logbook.
namespace sarvo {

class TcpSocket;

// A loopback address, the connection's own local address, or any address of this computer.
bool IsLocalClient(const TcpSocket& connection);

// The same test over given addresses (network byte order).
bool IsLocalAddress(uint32_t peer, uint32_t ownAddress);

// Every client of a test runs on this computer; a test that stands in for a remote visitor switches
// the recognition of local clients off, so that filters and blocks apply to it.
enum class LocalClientRule { Recognize, TreatAllAsRemote };
void SetLocalClientRule(LocalClientRule rule);

}  // namespace sarvo
