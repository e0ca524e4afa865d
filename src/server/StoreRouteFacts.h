#pragma once

#include "server/RouteTable.h"

namespace sarvo {

// The route facts of a resolved path, read from the settings at the moment they are asked.
class StoreRouteFacts : public RouteFacts {
public:
    explicit StoreRouteFacts(const ResolvedPath& path) : m_path(path) {}

    bool HasHomePageFile() const override;
    bool FolderAllowsPosting() const override;
    bool FolderAllowsZip() const override;
    bool FolderIsVisible() const override;
    bool FolderAllowsSubfolders() const override;
    bool IsRealTimeFile() const override;
    bool GuestbookEnabled() const override;
    bool ChatRoomOpen() const override;
    bool ChatRoomFull() const override;

private:
    const ResolvedPath& m_path;
};

}  // namespace sarvo
