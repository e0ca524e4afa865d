#pragma once

// The one request of a connection, from reading to the handler that answers it.
namespace sarvo {

class ConnectionContext;

inline constexpr unsigned kStatusOk = 200;
inline constexpr unsigned kStatusBadRequest = 400;
inline constexpr unsigned kStatusForbidden = 403;
inline constexpr unsigned kStatusNotFound = 404;
inline constexpr unsigned kStatusMethodNotAllowed = 405;

// A negative result when the request was refused while it was read, otherwise the result of sending
// the answer.
int DispatchRequest(ConnectionContext& connection);

// The error page for a status, with the request's header shown on it, sent with progress.
int SendErrorPage(ConnectionContext& connection, unsigned status);

// The request echo page, sent with progress.
int SendEchoPage(ConnectionContext& connection);

}  // namespace sarvo
