#include "server/RequestHandlers.h"

#include <array>
#include <atomic>

#include "server/FileTransfer.h"

namespace sarvo {
namespace {

// Registration happens at start-up, before the server accepts; atomics keep a late registration
// from racing a connection thread all the same.
// The server serves files itself; every other route is registered by the subsystem that owns it.
struct HandlerTable {
    std::array<std::atomic<RequestHandler>, kHandlerCount> slots{};

    HandlerTable() {
        slots[static_cast<size_t>(Handler::ServeFile)].store(ServeFileRoute);
        slots[static_cast<size_t>(Handler::HomePageFile)].store(ServeHomePageFileRoute);
    }
};

HandlerTable g_handlers;
std::atomic<ErrorPageBuilder> g_errorPage{nullptr};
std::atomic<EchoPageBuilder> g_echoPage{nullptr};
std::atomic<ChatRoomQuery> g_chatRoomOpen{nullptr};
std::atomic<ChatRoomQuery> g_chatRoomFull{nullptr};

}  // namespace

void SetRequestHandler(Handler route, RequestHandler handler) {
    g_handlers.slots[static_cast<size_t>(route)].store(handler);
}

RequestHandler GetRequestHandler(Handler route) {
    return g_handlers.slots[static_cast<size_t>(route)].load();
}

void SetErrorPageBuilders(ErrorPageBuilder errorPage, EchoPageBuilder echoPage) {
    g_errorPage.store(errorPage);
    g_echoPage.store(echoPage);
}

ErrorPageBuilder GetErrorPageBuilder() {
    return g_errorPage.load();
}

EchoPageBuilder GetEchoPageBuilder() {
    return g_echoPage.load();
}

void SetChatRoomQueries(ChatRoomQuery isOpen, ChatRoomQuery isFull) {
    g_chatRoomOpen.store(isOpen);
    g_chatRoomFull.store(isFull);
}

bool ChatRoomIsOpen() {
    ChatRoomQuery query = g_chatRoomOpen.load();
    return query && query();
}

bool ChatRoomIsFull() {
    ChatRoomQuery query = g_chatRoomFull.load();
    return query && query();
}

}  // namespace sarvo
