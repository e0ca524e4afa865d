#pragma once

#include "server/HttpRequest.h"
#include "server/TcpSocket.h"

namespace sarvo {

// One admitted connection: its socket and the one request it carries. Created by the server thread,
// owned and destroyed by the connection's own thread.
class ConnectionContext : public TcpSocket {
public:
    HttpRequest request;
};

}  // namespace sarvo
