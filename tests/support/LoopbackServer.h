#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "support/NotificationRecorder.h"
#include "support/TempFolder.h"

namespace sarvo::test {

// A response as it came off the wire: the status line and header lines exactly as sent, and the body.
struct WireResponse {
    bool received = false;  // false when the connection closed without a byte
    std::string raw;
    std::string statusLine;
    std::vector<std::string> headerLines;  // "Name: value", in the order sent
    std::string body;

    // The value of the first header of that name (case-insensitive), "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    // The header names in the order sent.
    std::vector<std::string> HeaderNames() const;
};

// Sends bytes in the given pieces (with a short pause between them) and reads until the server
// closes. Every read is bounded in time.
WireResponse ExchangeInPieces(uint16_t port, const std::vector<std::string>& pieces);
WireResponse Exchange(uint16_t port, const std::string& request);
std::string Get(const std::string& path, const std::string& extraHeaders = "");

// The real server on a loopback port of its own, in a temporary settings home: started by the
// constructor, stopped by the destructor, which also waits for every connection thread to end.
class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Started() const { return m_started; }
    uint16_t Port() const { return m_port; }
    ScopedSarvoHome& Home() { return m_home; }

    // Publishes a folder of the home under a share name (listing on, sub-folders on).
    std::string ShareFolder(const std::string& shareName, const std::string& folderName);

    // Waits until no connection thread is running (bounded).
    bool WaitForIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    ScopedSarvoHome m_home;
    NotificationRecorder m_mainWindow{NotificationChannel::MainWindow};
    uint16_t m_port = 0;
    bool m_started = false;
};

// A port free on every address at the moment of asking, outside the range of ephemeral ports.
uint16_t PickFreePort();

}  // namespace sarvo::test
