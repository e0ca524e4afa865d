#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// A client that reads a response as it arrives, for streams that stay open.
namespace sarvo::test {

class StreamClient {
public:
    // Connects to the loopback port and sends the request.
    StreamClient(uint16_t port, const std::string& request);
    ~StreamClient();
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    // Sends more bytes; false when they could not all be sent.
    bool Send(const std::string& bytes);

    // The status line and header lines up to the blank line; "" when they did not come in time.
    std::string ReadHead(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Exactly n more bytes; fewer when the time runs out or the server closes.
    std::string ReadExactly(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Whatever arrives within the time; ends early when the server closes.
    std::string ReadFor(std::chrono::milliseconds time);
    // True when the server closes within the time; what came before is appended to received.
    bool WaitForClose(std::chrono::milliseconds limit, std::string& received);
    void Close();

private:
    // Reads what is there, waiting up to the time; false once the server has closed.
    bool Fill(std::chrono::milliseconds wait);

    int m_socket = -1;
    bool m_closed = false;
    std::string m_pending;
};

}  // namespace sarvo::test
