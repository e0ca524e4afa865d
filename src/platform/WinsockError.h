#pragma once

// Socket results keep the Winsock error numbers so that the rest of the program, its pages and its
// logbook, speak of errors the way the design of the protocol layer does: a socket operation returns
// 0 or a positive count on success and minus one of these numbers on failure.
namespace sarvo {

inline constexpr int kWsaEIntr = 10004;
inline constexpr int kWsaEBadF = 10009;
inline constexpr int kWsaEAcces = 10013;
inline constexpr int kWsaEFault = 10014;
inline constexpr int kWsaEInval = 10022;
inline constexpr int kWsaEMFile = 10024;
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaEInProgress = 10036;
inline constexpr int kWsaEAlready = 10037;
inline constexpr int kWsaENotSock = 10038;
inline constexpr int kWsaEMsgSize = 10040;
inline constexpr int kWsaEOpNotSupp = 10045;
inline constexpr int kWsaEAddrInUse = 10048;
inline constexpr int kWsaEAddrNotAvail = 10049;
inline constexpr int kWsaENetDown = 10050;
inline constexpr int kWsaENetUnreach = 10051;
inline constexpr int kWsaEConnAborted = 10053;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENoBufs = 10055;
inline constexpr int kWsaEIsConn = 10056;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaEShutdown = 10058;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;
inline constexpr int kWsaEHostUnreach = 10065;

// Negative results of their own, outside the Winsock range.
inline constexpr int kSocketNoMemory = -999999;
inline constexpr int kSocketErrorWithoutCode = -999998;

// The positive Winsock number for an errno value, or 0 when Winsock has no counterpart. A broken pipe
// is reported as a reset connection, because that is what a Winsock send to a closed peer reports.
int WinsockErrorFromErrno(int err);

// The negative result for a failed call, taken from the calling thread's errno: minus the Winsock
// number, or kSocketErrorWithoutCode when there is none. Call it right after the failed call.
int LastSocketError();

// The same for an errno value the caller already holds (getsockopt SO_ERROR, a saved errno).
int SocketErrorFromErrno(int err);

}  // namespace sarvo
