#include "platform/WinsockError.h"

#include <cerrno>

namespace sarvo {

int WinsockErrorFromErrno(int err) {
    switch (err) {
        case EINTR:
            return kWsaEIntr;
        case EBADF:
            return kWsaEBadF;
        case EACCES:
        case EPERM:
            return kWsaEAcces;
        case EFAULT:
            return kWsaEFault;
        case EINVAL:
            return kWsaEInval;
        case EMFILE:
        case ENFILE:
            return kWsaEMFile;
#if EAGAIN != EWOULDBLOCK
        case EWOULDBLOCK:
#endif
        case EAGAIN:
            return kWsaEWouldBlock;
        case EINPROGRESS:
            return kWsaEInProgress;
        case EALREADY:
            return kWsaEAlready;
        case ENOTSOCK:
            return kWsaENotSock;
        case EMSGSIZE:
            return kWsaEMsgSize;
        case EADDRINUSE:
            return kWsaEAddrInUse;
        case EADDRNOTAVAIL:
            return kWsaEAddrNotAvail;
        case ENETDOWN:
            return kWsaENetDown;
        case ENETUNREACH:
            return kWsaENetUnreach;
        case ECONNABORTED:
            return kWsaEConnAborted;
        case ECONNRESET:
        case EPIPE:
            return kWsaEConnReset;
        case ENOBUFS:
        case ENOMEM:
            return kWsaENoBufs;
        case EISCONN:
            return kWsaEIsConn;
        case ENOTCONN:
            return kWsaENotConn;
        case ESHUTDOWN:
            return kWsaEShutdown;
        case ETIMEDOUT:
            return kWsaETimedOut;
        case ECONNREFUSED:
            return kWsaEConnRefused;
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return kWsaEHostUnreach;
        default:
            return 0;
    }
}

int SocketErrorFromErrno(int err) {
    int code = WinsockErrorFromErrno(err);
    return code == 0 ? kSocketErrorWithoutCode : -code;
}

int LastSocketError() {
    return SocketErrorFromErrno(errno);
}

}  // namespace sarvo
