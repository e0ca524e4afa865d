#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A chat member on a raw socket: it joins with output.htm, decodes the chunks of its stream as they
// arrive, and speaks with posts like the input frame's form.
namespace sarvo::test {

inline constexpr auto kChatWait = std::chrono::seconds(5);

class ChatClient {
public:
    // Connects and asks for the output stream of member id. A receive buffer size other than 0 is
    // set before connecting, to keep what the kernel holds for a member that does not read small.
    ChatClient(uint16_t port, uint32_t id, int receiveBuffer = 0);
    ~ChatClient();
    ChatClient(const ChatClient&) = delete;
    ChatClient& operator=(const ChatClient&) = delete;

    uint32_t Id() const { return m_id; }
    // "Guest<id>", the name the room gives at joining.
    std::string GuestName() const { return "Guest" + std::to_string(m_id); }

    // Reads until the response header and the welcome chunks up to the first list reload are in.
    bool Joined();
    // The response header as received, without the blank line.
    const std::string& Head() const { return m_head; }
    // The decoded chunks received so far, and each chunk on its own.
    const std::string& Text() const { return m_text; }
    size_t ChunkCount() const { return m_chunks.size(); }
    const std::string& Chunk(size_t index) const { return m_chunks[index]; }

    // Reads until the decoded text from position on holds needle; the position after it, or npos.
    size_t WaitFor(const std::string& needle, size_t from = 0, std::chrono::milliseconds limit = kChatWait);
    // True when the server closes the stream within the time.
    bool WaitForClose(std::chrono::milliseconds limit = kChatWait);
    // Closes the socket, as a browser window that goes away.
    void Close();
    // Lets the socket outlive this object, as a browser that is still there when the server ends.
    void LeaveOpenAtExit() { m_socket = -1; }

private:
    // Reads what arrives within the wait; false once the server has closed.
    bool Fill(std::chrono::milliseconds wait);
    void DecodeChunks();

    uint32_t m_id;
    int m_socket = -1;
    bool m_closed = false;
    std::string m_raw;
    std::string m_head;
    bool m_headDone = false;
    std::string m_text;
    std::vector<std::string> m_chunks;
};

// Posts one line as the input frame does ("to=...&speechtext=...", form-encoded UTF-8) and returns
// the status line of the answer.
std::string Speak(uint16_t port, uint32_t id, const std::string& to, const std::string& text);

// Sends a post whose body ends (the client shuts its sending side) before the Content-Length it
// claims; true when the server then closes the connection without a byte of answer.
bool PostCutShortGetsNoAnswer(uint16_t port, uint32_t id, const std::string& body, size_t claimedLength);

// The form encoding of a text: letters and digits stay, a blank becomes '+', everything else %XX.
std::string FormEncode(const std::string& text);

// The id the frameset page gives, or 0.
uint32_t FramesetMemberId(const std::string& body);

}  // namespace sarvo::test
