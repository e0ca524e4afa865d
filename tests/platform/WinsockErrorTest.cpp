#include "platform/WinsockError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace sarvo {
namespace {

// The numbers are the system's own and each row of the mapping is one line of code, so only the rows
// that callers act on, and those where two errno values share a number, are checked here; the socket
// tests see the rest through the calls themselves.
TEST(WinsockErrorTest, ErrnoMapsToTheNumberCallersActOn) {
    const struct {
        int err;
        int winsock;
    } cases[] = {
        {EAGAIN, 10035}, {EWOULDBLOCK, 10035}, {ENOTSOCK, 10038},  {EADDRINUSE, 10048},   {ECONNRESET, 10054},
        {EPIPE, 10054},  {ENOMEM, 10055},      {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061}, {EHOSTDOWN, 10065},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::strerror(c.err));
        EXPECT_EQ(WinsockErrorFromErrno(c.err), c.winsock);
        EXPECT_EQ(SocketErrorFromErrno(c.err), -c.winsock);
    }
    for (int err : {0, ENOENT, ENOSPC}) {
        SCOPED_TRACE(err);
        EXPECT_EQ(WinsockErrorFromErrno(err), 0);
        EXPECT_EQ(SocketErrorFromErrno(err), kSocketErrorWithoutCode);
    }
    errno = ECONNREFUSED;
    EXPECT_EQ(LastSocketError(), -kWsaEConnRefused);
}

}  // namespace
}  // namespace sarvo
