#include "server/StoreRouteFacts.h"

#include <string>

#include "server/RequestHandlers.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"

namespace sarvo {

bool StoreRouteFacts::HasHomePageFile() const {
    std::string file;
    return GetHomePageFile(file);
}

bool StoreRouteFacts::FolderAllowsPosting() const {
    return CanPostFiles(m_path.firstSegment);
}

bool StoreRouteFacts::FolderAllowsZip() const {
    return IsZipDownloadAllowed(m_path.firstSegment);
}

bool StoreRouteFacts::FolderIsVisible() const {
    return IsFolderVisible(m_path.firstSegment);
}

bool StoreRouteFacts::FolderAllowsSubfolders() const {
    return CanBrowseSubfolders(m_path.firstSegment);
}

bool StoreRouteFacts::IsRealTimeFile() const {
    return sarvo::IsRealTimeFile(m_path.firstSegment);
}

bool StoreRouteFacts::GuestbookEnabled() const {
    return IsGuestbookEnabled();
}

bool StoreRouteFacts::ChatRoomOpen() const {
    return ChatRoomIsOpen();
}

bool StoreRouteFacts::ChatRoomFull() const {
    return ChatRoomIsFull();
}

}  // namespace sarvo
