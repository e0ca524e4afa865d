#pragma once

#include <cstddef>
#include <string_view>

#include "server/TcpSocket.h"

// Framing of chunked transfer coding for the streams whose length is not known when they start (zip
// downloads, dynamic files, chat output). Only queues: sending is the caller's business.
namespace sarvo {

// Ends a chunked stream; it is also what an empty chunk would be.
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

// Queues the length in lower-case hexadecimal without leading zeros, CR LF, the bytes and CR LF, with
// no conversion. Returns the new fill of the send buffer.
size_t QueueChunk(TcpSocket& socket, const void* data, size_t length);

// Converts a text in the process code page to UTF-8, which the pages declare, and queues it as one
// chunk. An empty text queues the last chunk.
size_t SendChunk(TcpSocket& socket, std::string_view ansiText);

}  // namespace sarvo
