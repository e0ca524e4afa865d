#include "server/RouteTable.h"

#include <gtest/gtest.h>

#include "server/HttpRequest.h"

namespace sarvo {
namespace {

struct FakeFacts : RouteFacts {
    bool homePageFile = false;
    bool posting = false;
    bool zip = false;
    bool visible = true;
    bool subfolders = true;
    bool realTime = false;
    bool guestbook = true;
    bool chatOpen = true;
    bool chatFull = false;

    bool HasHomePageFile() const override { return homePageFile; }
    bool FolderAllowsPosting() const override { return posting; }
    bool FolderAllowsZip() const override { return zip; }
    bool FolderIsVisible() const override { return visible; }
    bool FolderAllowsSubfolders() const override { return subfolders; }
    bool IsRealTimeFile() const override { return realTime; }
    bool GuestbookEnabled() const override { return guestbook; }
    bool ChatRoomOpen() const override { return chatOpen; }
    bool ChatRoomFull() const override { return chatFull; }
};

struct RouteCase {
    const char* description;
    PathKind kind;
    int method;
    const char* query;
    const char* rest;
    void (*adjust)(FakeFacts&);
    Handler handler;  // expected when status is 0
    unsigned status;  // expected refusal
};

void Nothing(FakeFacts&) {}
void NoPosting(FakeFacts& f) {
    f.posting = false;
}
void Posting(FakeFacts& f) {
    f.posting = true;
}
void Zip(FakeFacts& f) {
    f.zip = true;
}
void Hidden(FakeFacts& f) {
    f.visible = false;
}
void HiddenWithFeatures(FakeFacts& f) {
    f.visible = false;
    f.posting = true;
    f.zip = true;
}
void NoSubfolders(FakeFacts& f) {
    f.subfolders = false;
}
void HomeFile(FakeFacts& f) {
    f.homePageFile = true;
}
void RealTime(FakeFacts& f) {
    f.realTime = true;
}
void NoGuestbook(FakeFacts& f) {
    f.guestbook = false;
}
void ChatClosed(FakeFacts& f) {
    f.chatOpen = false;
}
void ChatFull(FakeFacts& f) {
    f.chatFull = true;
}

const RouteCase kCases[] = {
    {"root post", PathKind::Root, kMethodPost, "", "", Nothing, Handler::HomePage, 405},
    {"root home page", PathKind::Root, kMethodGet, "", "", Nothing, Handler::HomePage, 0},
    {"root home file", PathKind::Root, kMethodGet, "", "", HomeFile, Handler::HomePageFile, 0},
    {"upload allowed", PathKind::SharedFolderDir, kMethodPost, "", "", Posting, Handler::ReceiveUpload, 0},
    {"upload refused", PathKind::SharedFolderDir, kMethodPost, "", "", NoPosting, Handler::HomePage, 405},
    {"post page", PathKind::SharedFolderDir, kMethodGet, "PostFile", "", Posting, Handler::PostFilePage, 0},
    {"post page refused", PathKind::SharedFolderDir, kMethodGet, "postfile", "", Nothing, Handler::HomePage,
     405},
    {"zip", PathKind::SharedFolderDir, kMethodGet, "zipdld", "", Zip, Handler::ZipDownload, 0},
    {"zip refused", PathKind::SharedFolderDir, kMethodGet, "ZIPDLD", "", Nothing, Handler::HomePage, 405},
    {"hidden listing still zips", PathKind::SharedFolderDir, kMethodGet, "zipdld", "", HiddenWithFeatures,
     Handler::ZipDownload, 0},
    {"hidden listing", PathKind::SharedFolderDir, kMethodGet, "", "", Hidden, Handler::HomePage, 403},
    {"sub-folder refused", PathKind::SharedFolderDir, kMethodGet, "", "sub", NoSubfolders, Handler::HomePage,
     403},
    {"top listing without sub-folders", PathKind::SharedFolderDir, kMethodHead, "", "", NoSubfolders,
     Handler::FolderListing, 0},
    {"sub-folder listing", PathKind::SharedFolderDir, kMethodGet, "", "sub", Nothing, Handler::FolderListing,
     0},
    {"post to a file", PathKind::SharedFolderFile, kMethodPost, "", "a.txt", Nothing, Handler::HomePage, 400},
    {"thumbnail", PathKind::SharedFolderFile, kMethodGet, "Thumbnail", "sub/a.jpg", NoSubfolders,
     Handler::ThumbnailImage, 0},
    {"file in sub-folder refused", PathKind::SharedFolderFile, kMethodGet, "", "sub/a.txt", NoSubfolders,
     Handler::HomePage, 403},
    {"file in sub-folder, backslash", PathKind::SharedFolderFile, kMethodGet, "", "sub\\a.txt", NoSubfolders,
     Handler::HomePage, 403},
    {"top file without sub-folders", PathKind::SharedFolderFile, kMethodGet, "", "a.txt", NoSubfolders,
     Handler::ServeFile, 0},
    {"published post", PathKind::PublishedFile, kMethodPost, "", "", Nothing, Handler::HomePage, 400},
    {"real-time get", PathKind::PublishedFile, kMethodGet, "", "", RealTime, Handler::RealTimeStream, 0},
    {"real-time head", PathKind::PublishedFile, kMethodHead, "", "", RealTime, Handler::ServeFile, 0},
    {"published file", PathKind::PublishedFile, kMethodGet, "", "", Nothing, Handler::ServeFile, 0},
    {"thumbnail index post", PathKind::ThumbnailIndex, kMethodPost, "", "", Nothing, Handler::HomePage, 400},
    {"thumbnail index", PathKind::ThumbnailIndex, kMethodGet, "", "", Nothing, Handler::ThumbnailList, 0},
    {"guestbook off", PathKind::GuestbookPath, kMethodGet, "", "", NoGuestbook, Handler::HomePage, 403},
    {"guestbook post", PathKind::GuestbookPath, kMethodPost, "", "", Nothing, Handler::GuestbookPost, 0},
    {"guestbook page", PathKind::GuestbookPath, kMethodGet, "", "", Nothing, Handler::GuestbookPage, 0},
    {"chat closed", PathKind::WebchatPath, kMethodPost, "id=3", "", ChatClosed, Handler::ChatNotOpen, 0},
    {"chat speech", PathKind::WebchatPath, kMethodPost, "ID=12", "", Nothing, Handler::ChatSpeech, 0},
    {"chat speech id zero", PathKind::WebchatPath, kMethodPost, "id=0", "", Nothing, Handler::HomePage, 403},
    {"chat frameset", PathKind::WebchatPath, kMethodGet, "", "", Nothing, Handler::ChatFrameset, 0},
    {"chat input", PathKind::WebchatPath, kMethodGet, "", "Input.htm", Nothing, Handler::ChatInput, 0},
    {"chat list", PathKind::WebchatPath, kMethodGet, "", "list.htm", Nothing, Handler::ChatMemberList, 0},
    {"chat output", PathKind::WebchatPath, kMethodGet, "id=7", "output.htm", Nothing, Handler::ChatOutput, 0},
    {"chat output no id", PathKind::WebchatPath, kMethodGet, "", "output.htm", Nothing, Handler::HomePage,
     403},
    {"chat full", PathKind::WebchatPath, kMethodGet, "id=7", "output.htm", ChatFull, Handler::ChatFull, 0},
    {"chat other", PathKind::WebchatPath, kMethodGet, "", "x.htm", Nothing, Handler::HomePage, 403},
    {"community post", PathKind::CommunityPath, kMethodPost, "", "login", Nothing, Handler::HomePage, 403},
    {"community page", PathKind::CommunityPath, kMethodGet, "", "", Nothing, Handler::CommunityPage, 0},
    {"community login", PathKind::CommunityPath, kMethodGet, "", "LOGIN", Nothing, Handler::CommunityLogin,
     0},
    {"community other", PathKind::CommunityPath, kMethodGet, "", "logout", Nothing, Handler::HomePage, 403},
};

TEST(RouteTable, EveryRowChoosesItsHandlerOrRefusal) {
    for (const RouteCase& c : kCases) {
        SCOPED_TRACE(c.description);
        FakeFacts facts;
        c.adjust(facts);
        RouteChoice choice = ChooseRoute(RouteRequest{c.kind, c.method, c.query, c.rest}, facts);
        EXPECT_EQ(choice.errorStatus, c.status);
        if (c.status == 0) {
            EXPECT_EQ(static_cast<int>(choice.handler), static_cast<int>(c.handler));
        }
    }
}

TEST(RouteTable, ChatMemberIdNeedsTheIdPrefixAndADecimalNumber) {
    EXPECT_EQ(ChatMemberId("id=42"), 42u);
    EXPECT_EQ(ChatMemberId("Id=7&x=1"), 7u);
    EXPECT_EQ(ChatMemberId("id="), 0u);
    EXPECT_EQ(ChatMemberId("uid=5"), 0u);
    EXPECT_EQ(ChatMemberId(""), 0u);
}

}  // namespace
}  // namespace sarvo
