#include "site/SiteHandlers.h"

#include "server/RequestHandlers.h"
#include "site/ErrorPages.h"
#include "site/FolderListing.h"
#include "site/HomePage.h"
#include "site/RealTimeFile.h"
#include "site/ThumbnailImageResponse.h"
#include "site/ThumbnailListPage.h"

namespace sarvo {

void RegisterSiteHandlers() {
    SetErrorPageBuilders(BuildErrorPage, BuildEchoPage);
    SetRequestHandler(Handler::HomePage, SendHomePage);
    SetRequestHandler(Handler::FolderListing, SendFolderListing);
    SetRequestHandler(Handler::RealTimeStream, SendRealTimeFile);
    SetRequestHandler(Handler::ThumbnailList, SendThumbnailList);
    SetRequestHandler(Handler::ThumbnailImage, SendThumbnailImage);
}

}  // namespace sarvo
