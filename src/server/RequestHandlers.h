#pragma once

#include <string_view>

#include "server/RouteTable.h"

// The handlers that answer routed requests, registered by the subsystems that own them. The server
// core knows every route; a route whose handler is not registered (its feature is not built in)
// answers 404, which the dispatcher decides in one place.
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

// Answers the request completely (or hands the connection on) and returns the result of sending:
// 0 or a count on success, a negative Winsock-numbered error otherwise.
using RequestHandler = int (*)(ConnectionContext& connection, const ResolvedPath& path);

void SetRequestHandler(Handler route, RequestHandler handler);
RequestHandler GetRequestHandler(Handler route);

// The refusal and echo pages. Until builders are registered, refusals carry no body.
using ErrorPageBuilder = void (*)(HttpResponse& response, unsigned status, std::string_view requestText);
using EchoPageBuilder = void (*)(HttpResponse& response, std::string_view requestText);

void SetErrorPageBuilders(ErrorPageBuilder errorPage, EchoPageBuilder echoPage);
ErrorPageBuilder GetErrorPageBuilder();
EchoPageBuilder GetEchoPageBuilder();

// The chat room's state as the routes see it; closed until the chat room registers its queries.
using ChatRoomQuery = bool (*)();
void SetChatRoomQueries(ChatRoomQuery isOpen, ChatRoomQuery isFull);
bool ChatRoomIsOpen();
bool ChatRoomIsFull();

}  // namespace sarvo
