#pragma once

#include <string_view>

#include "server/PathResolver.h"

// Which handler answers a request, once it has been read, resolved and authenticated. The choice is a
// pure function of the request and of a few facts about the place it names, so that every row of the
// table can be tested without a server.
namespace sarvo {

enum class Handler {
    HomePageFile,    // the configured home page file, served without conditions or range
    HomePage,        // the generated home page
    ReceiveUpload,   // a file posted into a shared folder
    PostFilePage,    // the "Post a File" page
    ZipDownload,     // a shared folder as a Zip stream
    FolderListing,   // a shared folder's listing page
    ThumbnailImage,  // the thumbnail of an image file
    ServeFile,       // a file with its validators and range
    RealTimeStream,  // a published real-time file, streamed as it grows
    ThumbnailList,   // the thumbnail list page of a folder
    GuestbookPost,   // a guestbook message
    GuestbookPage,   // the guestbook page
    ChatNotOpen,     // the "Chat Room Not Open" notice
    ChatSpeech,      // a chat member's line
    ChatFrameset,    // the chat frameset page
    ChatInput,       // the chat input frame
    ChatMemberList,  // the chat member list frame
    ChatOutput,      // the connection becomes a chat member's output stream
    ChatFull,        // the "Chat Room Full" notice
    CommunityPage,   // the web community page
    CommunityLogin,  // the community login exchange
};
inline constexpr int kHandlerCount = static_cast<int>(Handler::CommunityLogin) + 1;

// What the table needs to know about the place a request names. Each question is asked only when a
// row depends on it, so a request reads only the settings its route needs.
class RouteFacts {
public:
    virtual ~RouteFacts() = default;
    virtual bool HasHomePageFile() const = 0;
    virtual bool FolderAllowsPosting() const = 0;
    virtual bool FolderAllowsZip() const = 0;
    virtual bool FolderIsVisible() const = 0;
    virtual bool FolderAllowsSubfolders() const = 0;
    virtual bool IsRealTimeFile() const = 0;
    virtual bool GuestbookEnabled() const = 0;
    virtual bool ChatRoomOpen() const = 0;
    virtual bool ChatRoomFull() const = 0;
};

// Either a handler or an error status (then handler is unused).
struct RouteChoice {
    Handler handler = Handler::HomePage;
    unsigned errorStatus = 0;

    bool IsError() const { return errorStatus != 0; }
};

struct RouteRequest {
    PathKind kind = PathKind::NotFound;
    int method = -1;
    std::string_view query;
    std::string_view rest;  // the rest of the path after the first segment
};

RouteChoice ChooseRoute(const RouteRequest& request, const RouteFacts& facts);

// A chat member id in a query of the form "id=<decimal>"; 0 when there is none.
unsigned long ChatMemberId(std::string_view query);

}  // namespace sarvo
