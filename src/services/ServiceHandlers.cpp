#include "services/ServiceHandlers.h"

#include "server/RequestHandlers.h"
#include "services/ChatPages.h"
#include "services/Guestbook.h"

namespace sarvo {

void RegisterServiceHandlers() {
    RegisterGuestbookHandlers();
    RegisterWebchatHandlers();
}

}  // namespace sarvo
