#pragma once

#include <chrono>

#include "server/HttpRequest.h"
#include "server/TcpSocket.h"

namespace sarvo {

// One admitted connection: its socket and the one request it carries. Each connection thread keeps
// one and attaches every connection it serves to it.
class ConnectionContext : public TcpSocket {
public:
    HttpRequest request;
    // The header's time limits count from here.
    std::chrono::steady_clock::time_point acceptedAt = std::chrono::steady_clock::now();
};

}  // namespace sarvo
