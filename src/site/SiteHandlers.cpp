#include "site/SiteHandlers.h"

#include "server/RequestHandlers.h"
#include "site/ErrorPages.h"

namespace sarvo {

void RegisterSiteHandlers() {
    SetErrorPageBuilders(BuildErrorPage, BuildEchoPage);
}

}  // namespace sarvo
