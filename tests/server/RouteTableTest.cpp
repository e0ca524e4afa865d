#include "server/RouteTable.h"

#include <gtest/gtest.h>

#include "server/HttpRequest.h"

namespace sarvo {
namespace {

enum Fact : unsigned {
    kHomeFile = 1,
    kPosting = 2,
    kZip = 4,
    kHidden = 8,
    kNoSubfolders = 16,
    kRealTime = 32,
    kNoGuestbook = 64,
    kChatClosed = 128,
    kChatFull = 256,
};

struct FakeFacts : RouteFacts {
    explicit FakeFacts(unsigned facts) : f(facts) {}
    bool HasHomePageFile() const override { return f & kHomeFile; }
    bool FolderAllowsPosting() const override { return f & kPosting; }
    bool FolderAllowsZip() const override { return f & kZip; }
    bool FolderIsVisible() const override { return !(f & kHidden); }
    bool FolderAllowsSubfolders() const override { return !(f & kNoSubfolders); }
    bool IsRealTimeFile() const override { return f & kRealTime; }
    bool GuestbookEnabled() const override { return !(f & kNoGuestbook); }
    bool ChatRoomOpen() const override { return !(f & kChatClosed); }
    bool ChatRoomFull() const override { return f & kChatFull; }
    unsigned f;
};

struct RouteCase {
    const char* description;
    PathKind kind;
    int method;
    const char* query;
    const char* rest;
    unsigned facts;
    Handler handler;  // expected when status is 0
    unsigned status;  // expected refusal
};

constexpr PathKind kDir = PathKind::SharedFolderDir;
constexpr PathKind kFile = PathKind::SharedFolderFile;
constexpr PathKind kChat = PathKind::WebchatPath;
constexpr PathKind kCommunity = PathKind::CommunityPath;

const RouteCase kCases[] = {
    // A post to a folder or a file where posting is off is refused on the wire (ServerIntegrationTest).
    {"root post", PathKind::Root, kMethodPost, "", "", 0, Handler::HomePage, 405},
    {"root home page", PathKind::Root, kMethodGet, "", "", 0, Handler::HomePage, 0},
    {"root home file", PathKind::Root, kMethodGet, "", "", kHomeFile, Handler::HomePageFile, 0},
    {"upload allowed", kDir, kMethodPost, "", "", kPosting, Handler::ReceiveUpload, 0},
    {"post page", kDir, kMethodGet, "PostFile", "", kPosting, Handler::PostFilePage, 0},
    {"post page refused", kDir, kMethodGet, "postfile", "", 0, Handler::HomePage, 405},
    {"zip", kDir, kMethodGet, "zipdld", "", kZip, Handler::ZipDownload, 0},
    {"zip refused", kDir, kMethodGet, "ZIPDLD", "", 0, Handler::HomePage, 405},
    {"hidden listing still zips", kDir, kMethodGet, "zipdld", "", kHidden | kPosting | kZip,
     Handler::ZipDownload, 0},
    {"hidden listing", kDir, kMethodGet, "", "", kHidden, Handler::HomePage, 403},
    {"sub-folder refused", kDir, kMethodGet, "", "sub", kNoSubfolders, Handler::HomePage, 403},
    {"top listing without sub-folders", kDir, kMethodHead, "", "", kNoSubfolders, Handler::FolderListing, 0},
    {"sub-folder listing", kDir, kMethodGet, "", "sub", 0, Handler::FolderListing, 0},
    {"thumbnail", kFile, kMethodGet, "Thumbnail", "sub/a.jpg", kNoSubfolders, Handler::ThumbnailImage, 0},
    {"file in sub-folder refused", kFile, kMethodGet, "", "sub/a.txt", kNoSubfolders, Handler::HomePage, 403},
    {"file in sub-folder, backslash", kFile, kMethodGet, "", "sub\\a.txt", kNoSubfolders, Handler::HomePage,
     403},
    {"top file without sub-folders", kFile, kMethodGet, "", "a.txt", kNoSubfolders, Handler::ServeFile, 0},
    {"published post", PathKind::PublishedFile, kMethodPost, "", "", 0, Handler::HomePage, 400},
    {"real-time get", PathKind::PublishedFile, kMethodGet, "", "", kRealTime, Handler::RealTimeStream, 0},
    {"real-time head", PathKind::PublishedFile, kMethodHead, "", "", kRealTime, Handler::ServeFile, 0},
    {"published file", PathKind::PublishedFile, kMethodGet, "", "", 0, Handler::ServeFile, 0},
    {"thumbnail index post", PathKind::ThumbnailIndex, kMethodPost, "", "", 0, Handler::HomePage, 400},
    {"thumbnail index", PathKind::ThumbnailIndex, kMethodGet, "", "", 0, Handler::ThumbnailList, 0},
    {"guestbook off", PathKind::GuestbookPath, kMethodGet, "", "", kNoGuestbook, Handler::HomePage, 403},
    {"guestbook post", PathKind::GuestbookPath, kMethodPost, "", "", 0, Handler::GuestbookPost, 0},
    {"guestbook page", PathKind::GuestbookPath, kMethodGet, "", "", 0, Handler::GuestbookPage, 0},
    {"chat closed", kChat, kMethodPost, "id=3", "", kChatClosed, Handler::ChatNotOpen, 0},
    {"chat speech", kChat, kMethodPost, "ID=12", "", 0, Handler::ChatSpeech, 0},
    {"chat speech id zero", kChat, kMethodPost, "id=0", "", 0, Handler::HomePage, 403},
    {"chat frameset", kChat, kMethodGet, "", "", 0, Handler::ChatFrameset, 0},
    {"chat input", kChat, kMethodGet, "", "Input.htm", 0, Handler::ChatInput, 0},
    {"chat list", kChat, kMethodGet, "", "list.htm", 0, Handler::ChatMemberList, 0},
    {"chat output", kChat, kMethodGet, "id=7", "output.htm", 0, Handler::ChatOutput, 0},
    {"chat output no id", kChat, kMethodGet, "", "output.htm", 0, Handler::HomePage, 403},
    {"chat full", kChat, kMethodGet, "id=7", "output.htm", kChatFull, Handler::ChatFull, 0},
    {"chat other", kChat, kMethodGet, "", "x.htm", 0, Handler::HomePage, 403},
    {"community post", kCommunity, kMethodPost, "", "login", 0, Handler::HomePage, 403},
    {"community page", kCommunity, kMethodGet, "", "", 0, Handler::CommunityPage, 0},
    {"community login", kCommunity, kMethodGet, "", "LOGIN", 0, Handler::CommunityLogin, 0},
    {"community other", kCommunity, kMethodGet, "", "logout", 0, Handler::HomePage, 403},
};

TEST(RouteTable, EveryRowChoosesItsHandlerOrRefusal) {
    for (const RouteCase& c : kCases) {
        SCOPED_TRACE(c.description);
        RouteChoice choice = ChooseRoute(RouteRequest{c.kind, c.method, c.query, c.rest}, FakeFacts(c.facts));
        EXPECT_EQ(choice.errorStatus, c.status);
        if (c.status == 0) {
            EXPECT_EQ(static_cast<int>(choice.handler), static_cast<int>(c.handler));
        }
    }
}

TEST(RouteTable, ChatMemberIdNeedsTheIdPrefixAndADecimalNumber) {
    const std::pair<const char*, unsigned> cases[] = {
        {"id=42", 42}, {"Id=7&x=1", 7}, {"id=", 0}, {"uid=5", 0}};
    for (const auto& [query, id] : cases) {
        EXPECT_EQ(ChatMemberId(query), id) << query;
    }
}

}  // namespace
}  // namespace sarvo
