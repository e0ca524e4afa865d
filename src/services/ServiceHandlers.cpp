#include "services/ServiceHandlers.h"

#include "server/RequestHandlers.h"
#include "services/CommunityHosting.h"

namespace sarvo {

void RegisterServiceHandlers() {
    SetRequestHandler(Handler::CommunityPage, SendCommunityPage);
    SetRequestHandler(Handler::CommunityLogin, HandleCommunityLogin);
}

}  // namespace sarvo
