#include "site/SiteHandlers.h"

#include "server/RequestHandlers.h"
#include "site/ErrorPages.h"
#include "site/FolderListing.h"
#include "site/FolderZip.h"
#include "site/HomePage.h"
#include "site/PostFile.h"
#include "site/RealTimeFile.h"
#include "site/ThumbnailImageResponse.h"
#include "site/ThumbnailListPage.h"

namespace sarvo {

void RegisterSiteHandlers() {
    SetErrorPageBuilders(BuildErrorPage, BuildEchoPage);
    SetRequestHandler(Handler::HomePage, SendHomePage);
    SetRequestHandler(Handler::FolderListing, SendFolderListing);
    SetRequestHandler(Handler::RealTimeStream, SendRealTimeFile);
    SetRequestHandler(Handler::ZipDownload, SendFolderZip);
    SetRequestHandler(Handler::PostFilePage, SendPostFilePage);
    SetRequestHandler(Handler::ReceiveUpload, ReceivePostedFiles);
    SetRequestHandler(Handler::ThumbnailList, SendThumbnailList);
    SetRequestHandler(Handler::ThumbnailImage, SendThumbnailImage);
}

}  // namespace sarvo
