#include "services/ServiceHandlers.h"

#include "server/RequestHandlers.h"

namespace sarvo {

void RegisterServiceHandlers() {}

}  // namespace sarvo
