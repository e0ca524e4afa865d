#include "server/Chunk.h"

#include <cstdio>

#include "common/TextHolder.h"

namespace sarvo {

size_t QueueChunk(TcpSocket& socket, const void* data, size_t length) {
    char sizeLine[24];
    int lineLength = std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", length);
    socket.QueueSendText(std::string_view(sizeLine, static_cast<size_t>(lineLength)));
    socket.QueueSend(data, length);
    return socket.QueueSendText("\r\n");
}

size_t SendChunk(TcpSocket& socket, std::string_view ansiText) {
    AnsiToUtf8 utf8(ansiText);
    return QueueChunk(socket, utf8.Text(), utf8.Length());
}

}  // namespace sarvo
