#include "services/ServiceHandlers.h"

#include "server/RequestHandlers.h"
#include "services/ChatPages.h"

namespace sarvo {

void RegisterServiceHandlers() {
    RegisterWebchatHandlers();
}

}  // namespace sarvo
