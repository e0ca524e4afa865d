#include "services/ServiceHandlers.h"

#include "server/RequestHandlers.h"
#include "services/ChatPages.h"
#include "services/CommunityHosting.h"
#include "services/Guestbook.h"

namespace sarvo {

void RegisterServiceHandlers() {
    SetRequestHandler(Handler::CommunityPage, SendCommunityPage);
    SetRequestHandler(Handler::CommunityLogin, HandleCommunityLogin);
    RegisterGuestbookHandlers();
    RegisterWebchatHandlers();
}

}  // namespace sarvo
