#include "server/RouteTable.h"

#include <cstdlib>
#include <string>

#include "common/Text.h"
#include "server/HttpRequest.h"

namespace sarvo {
namespace {

constexpr unsigned kBadRequest = 400;
constexpr unsigned kForbidden = 403;
constexpr unsigned kMethodNotAllowed = 405;

RouteChoice Serve(Handler handler) {
    return RouteChoice{handler, 0};
}

RouteChoice Refuse(unsigned status) {
    return RouteChoice{Handler::HomePage, status};
}

bool HoldsSeparator(std::string_view text) {
    return text.find_first_of("/\\") != std::string_view::npos;
}

RouteChoice ChooseRootRoute(const RouteRequest& request, const RouteFacts& facts) {
    if (request.method == kMethodPost)
        return Refuse(kMethodNotAllowed);
    if (facts.HasHomePageFile())
        return Serve(Handler::HomePageFile);
    return Serve(Handler::HomePage);
}

RouteChoice ChooseFolderRoute(const RouteRequest& request, const RouteFacts& facts) {
    if (request.method == kMethodPost)
        return facts.FolderAllowsPosting() ? Serve(Handler::ReceiveUpload) : Refuse(kMethodNotAllowed);
    if (EqualsIgnoreCase(request.query, "postfile"))
        return facts.FolderAllowsPosting() ? Serve(Handler::PostFilePage) : Refuse(kMethodNotAllowed);
    if (EqualsIgnoreCase(request.query, "zipdld"))
        return facts.FolderAllowsZip() ? Serve(Handler::ZipDownload) : Refuse(kMethodNotAllowed);
    if (!facts.FolderIsVisible())
        return Refuse(kForbidden);
    if (!request.rest.empty() && !facts.FolderAllowsSubfolders())
        return Refuse(kForbidden);
    return Serve(Handler::FolderListing);
}

RouteChoice ChooseFolderFileRoute(const RouteRequest& request, const RouteFacts& facts) {
    if (request.method == kMethodPost)
        return Refuse(kBadRequest);
    if (EqualsIgnoreCase(request.query, "thumbnail"))
        return Serve(Handler::ThumbnailImage);
    if (HoldsSeparator(request.rest) && !facts.FolderAllowsSubfolders())
        return Refuse(kForbidden);
    return Serve(Handler::ServeFile);
}

RouteChoice ChoosePublishedFileRoute(const RouteRequest& request, const RouteFacts& facts) {
    if (request.method == kMethodPost)
        return Refuse(kBadRequest);
    if (request.method == kMethodGet && facts.IsRealTimeFile())
        return Serve(Handler::RealTimeStream);
    return Serve(Handler::ServeFile);
}

RouteChoice ChooseWebchatRoute(const RouteRequest& request, const RouteFacts& facts) {
    if (!facts.ChatRoomOpen())
        return Serve(Handler::ChatNotOpen);
    bool hasMemberId = ChatMemberId(request.query) != 0;
    if (request.method == kMethodPost)
        return hasMemberId ? Serve(Handler::ChatSpeech) : Refuse(kForbidden);
    if (request.rest.empty())
        return Serve(Handler::ChatFrameset);
    if (EqualsIgnoreCase(request.rest, "input.htm"))
        return Serve(Handler::ChatInput);
    if (EqualsIgnoreCase(request.rest, "list.htm"))
        return Serve(Handler::ChatMemberList);
    if (EqualsIgnoreCase(request.rest, "output.htm")) {
        if (facts.ChatRoomFull())
            return Serve(Handler::ChatFull);
        return hasMemberId ? Serve(Handler::ChatOutput) : Refuse(kForbidden);
    }
    return Refuse(kForbidden);
}

RouteChoice ChooseCommunityRoute(const RouteRequest& request) {
    if (request.method == kMethodPost)
        return Refuse(kForbidden);
    if (request.rest.empty())
        return Serve(Handler::CommunityPage);
    if (EqualsIgnoreCase(request.rest, "login"))
        return Serve(Handler::CommunityLogin);
    return Refuse(kForbidden);
}

}  // namespace

unsigned long ChatMemberId(std::string_view query) {
    if (!StartsWithIgnoreCase(query, "id="))
        return 0;
    std::string digits(query.substr(3));
    return std::strtoul(digits.c_str(), nullptr, 10);
}

RouteChoice ChooseRoute(const RouteRequest& request, const RouteFacts& facts) {
    switch (request.kind) {
        case PathKind::Root:
            return ChooseRootRoute(request, facts);
        case PathKind::SharedFolderDir:
            return ChooseFolderRoute(request, facts);
        case PathKind::SharedFolderFile:
            return ChooseFolderFileRoute(request, facts);
        case PathKind::PublishedFile:
            return ChoosePublishedFileRoute(request, facts);
        case PathKind::ThumbnailIndex:
            return request.method == kMethodPost ? Refuse(kBadRequest) : Serve(Handler::ThumbnailList);
        case PathKind::GuestbookPath:
            if (!facts.GuestbookEnabled())
                return Refuse(kForbidden);
            return request.method == kMethodPost ? Serve(Handler::GuestbookPost)
                                                 : Serve(Handler::GuestbookPage);
        case PathKind::WebchatPath:
            return ChooseWebchatRoute(request, facts);
        case PathKind::CommunityPath:
            return ChooseCommunityRoute(request);
        case PathKind::NotFound:
            break;
    }
    return Refuse(404);
}

}  // namespace sarvo
