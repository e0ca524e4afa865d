#include "platform/WinsockError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace sarvo {
namespace {

struct ErrnoCase {
    int err;
    int winsock;
};

TEST(WinsockErrorTest, ErrnoValuesMapToTheirWinsockNumbers) {
    const ErrnoCase cases[] = {
        {EINTR, 10004},        {EBADF, 10009},       {EACCES, 10013},       {EPERM, 10013},
        {EFAULT, 10014},       {EINVAL, 10022},      {EMFILE, 10024},       {ENFILE, 10024},
        {EAGAIN, 10035},       {EWOULDBLOCK, 10035}, {EINPROGRESS, 10036},  {EALREADY, 10037},
        {ENOTSOCK, 10038},     {EMSGSIZE, 10040},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
        {ENETDOWN, 10050},     {ENETUNREACH, 10051}, {ECONNABORTED, 10053}, {ECONNRESET, 10054},
        {EPIPE, 10054},        {ENOBUFS, 10055},     {ENOMEM, 10055},       {EISCONN, 10056},
        {ENOTCONN, 10057},     {ESHUTDOWN, 10058},   {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065}, {EHOSTDOWN, 10065},
    };
    for (const ErrnoCase& c : cases) {
        SCOPED_TRACE(std::strerror(c.err));
        EXPECT_EQ(WinsockErrorFromErrno(c.err), c.winsock);
        EXPECT_EQ(SocketErrorFromErrno(c.err), -c.winsock);
    }
}

TEST(WinsockErrorTest, ErrnoWithoutCounterpartHasNoNumber) {
    for (int err : {0, ENOENT, EISDIR, ENOSPC, EROFS}) {
        SCOPED_TRACE(err);
        EXPECT_EQ(WinsockErrorFromErrno(err), 0);
        EXPECT_EQ(SocketErrorFromErrno(err), kSocketErrorWithoutCode);
    }
}

TEST(WinsockErrorTest, LastSocketErrorReadsTheThreadsErrno) {
    errno = ECONNREFUSED;
    EXPECT_EQ(LastSocketError(), -kWsaEConnRefused);
    errno = ENOENT;
    EXPECT_EQ(LastSocketError(), kSocketErrorWithoutCode);
}

}  // namespace
}  // namespace sarvo
