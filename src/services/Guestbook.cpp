#include "services/Guestbook.h"

#include <netinet/in.h>

#include <chrono>
#include <string>

#include "common/Text.h"
#include "common/TextHolder.h"
#include "platform/Notification.h"
#include "platform/WinsockError.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/HttpResponse.h"
#include "server/RequestHandlers.h"
#include "server/SendResponse.h"
#include "server/ServerIdentity.h"
#include "services/GuestbookFolder.h"
#include "site/PostFile.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPageTitle[] = "Guestbook";
constexpr char kPageColor[] = "#ffffff";

constexpr char kFormHeaderStart[] =
    "<table width=\"100%\" height=\"100%\" cols=\"1\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r\n"
    "<tr><td height=\"24\" bgColor=\"#0080ff\">\r\n"
    "<table width=\"100%\" cols=\"2\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><tr>\r\n"
    "<td valign=\"middle\"><h5 style=\"margin-top:0;margin-bottom:0;color:#ffffff\">Drop A "
    "Message</h5></td>\r\n"
    "<td align=\"right\" style=\"color:#ffffff\">Powered by <a href=\"";
constexpr char kFormHeaderLinkEnd[] = "\" target=\"_blank\" style=\"color:#ffff00\">";
// The form has no action, so the browser posts to the page's own address, whatever its case. It is
// given its cell's full height: without that the text area's 100% has nothing to fill, and chromium
// shows it two lines high.
constexpr char kFormRest[] =
    "</a></td>\r\n"
    "</tr></table>\r\n"
    "</td></tr>\r\n"
    "<tr><td>\r\n"
    "<form METHOD=\"POST\" name=\"fm\" style=\"height:100%;margin:0\">\r\n"
    "<table width=\"100%\" height=\"100%\" border=\"0\" cellspacing=\"9\">\r\n"
    "<tr><td><TEXTAREA name=\"msg\" id=\"msg\" style=\"width:100%;height:100%\"></TEXTAREA></td></tr>\r\n"
    "<tr><td height=\"32\" align=\"right\"><input TYPE=\"SUBMIT\" VALUE=\"Send\" id=\"send\" "
    "style=\"height:24;width:80\"></td></tr>\r\n"
    "</table>\r\n"
    "</form>\r\n"
    "</td></tr>\r\n"
    "<tr><td height=\"24\" bgColor=\"#0080ff\">&nbsp;</td></tr>\r\n"
    "</table>\r\n"
    "</body>\r\n"
    "</html>\r\n";

constexpr char kReplyStart[] =
    "<table width=\"100%\" cols=\"2\" border=\"0\"><tr>\r\n"
    "<td><h3 style=\"color:#0000FF\">Guestbook</h3></td>\r\n"
    "<td align=\"right\"><a href=\"/\">Home</a></td>\r\n"
    "</tr></table>\r\n"
    "<hr size=\"1\" color=\"#000000\">\r\n"
    "<table width=\"100%\" height=\"70%\" border=\"0\"><tr><td align=\"center\">";
constexpr char kReplyEnd[] = "</td></tr></table>\r\n</BODY>\r\n</HTML>";

// Moves the body into the connection's receive buffer until limit bytes are there, reporting each
// block as progress. 0 once they are, or the receive error that ended the connection; a client that
// sends nothing for kUploadIdleLimitMs is given up, so a body that never comes does not hold a thread.
int ReceiveBody(ConnectionContext& connection, uint64_t contentLength, size_t limit) {
    SendProgress progress;
    progress.Bind(connection.Handle());
    progress.Start(contentLength);
    size_t counted = 0;
    Clock::time_point lastData = Clock::now();
    for (;;) {
        const size_t held = connection.ReceivedData().size();
        if (held > counted) {
            progress.Add(held - counted);
            counted = held;
            lastData = Clock::now();
        }
        if (held >= limit)
            return 0;
        const int received = connection.ReceiveSome(kUploadReceiveStepMs);
        if (received < 0 && received != -kWsaEWouldBlock)
            return received;
        if (received <= 0 && Clock::now() - lastData > std::chrono::milliseconds(kUploadIdleLimitMs))
            return -kWsaETimedOut;
    }
}

uint32_t PeerAddress(const ConnectionContext& connection) {
    sockaddr_in peer{};
    connection.GetAddress(peer, TcpSocket::AddressSide::Peer);
    return peer.sin_addr.s_addr;
}

// Decodes, converts and stores the received body; the reply that tells the visitor how it went.
GuestbookReply StoreBody(std::string_view body, uint32_t sender, bool truncated) {
    std::string decoded;
    if (!DecodeGuestbookBody(body, decoded))
        return GuestbookReply::NothingToSay;
    const Utf8ToAnsi text(decoded);
    const std::string_view message = SkipLeadingControlBytes(text.Str());
    if (message.empty())
        return GuestbookReply::NothingToSay;

    const StoredMessage stored = StoreGuestbookMessage(GuestbookFolder(FolderCreation::On), sender, message);
    if (!stored.created)
        return GuestbookReply::NotSaved;
    // The owner hears of every message that got a file, also of one that was written short.
    NotifyGuestbookAlarm();
    if (!stored.complete)
        return GuestbookReply::NotSaved;
    return truncated ? GuestbookReply::TooLarge : GuestbookReply::Saved;
}

}  // namespace

void BuildGuestbookForm(HttpResponse& response) {
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, 5);
    response.SetConnection("close");
    response.SetContentType("text/html");
    response.BeginHtmlPage(kPageTitle, kPageColor);
    std::string page = kFormHeaderStart;
    page += kMakerWebAddress;
    page += kFormHeaderLinkEnd;
    page += kProductName;
    page += kFormRest;
    response.AppendText(page);
    response.FinishHeaders();
}

void BuildGuestbookReply(HttpResponse& response, GuestbookReply reply) {
    response.BeginResponse(200);
    response.SetConnection("close");
    response.SetContentType("text/html");
    response.BeginHtmlPage(kPageTitle, kPageColor);
    std::string page = kReplyStart;
    page += GuestbookReplyText(reply);
    page += kReplyEnd;
    response.AppendText(page);
    response.FinishHeaders();
}

int SendGuestbookForm(ConnectionContext& connection, const ResolvedPath&) {
    HttpResponse response;
    BuildGuestbookForm(response);
    return SendResponse(connection, response, ProgressReport::Off);
}

int SendGuestbookReply(ConnectionContext& connection, GuestbookReply reply) {
    HttpResponse response;
    BuildGuestbookReply(response, reply);
    return SendResponse(connection, response, ProgressReport::Off);
}

int PostGuestbookMessage(ConnectionContext& connection, const ResolvedPath&) {
    const uint32_t sender = PeerAddress(connection);
    const HttpRequest& request = connection.request;
    uint64_t contentLength = 0;
    request.ContentLength(contentLength);
    if (contentLength == 0)
        return SendGuestbookReply(connection, GuestbookReply::NothingToSay);
    if (!EqualsIgnoreCase(request.ContentType(), kGuestbookContentType))
        return SendGuestbookReply(connection, GuestbookReply::ContentTypeNotSupported);

    const bool truncated = contentLength > kGuestbookBodyLimit;
    const size_t limit = static_cast<size_t>(truncated ? kGuestbookBodyLimit : contentLength);
    if (int result = ReceiveBody(connection, contentLength, limit); result < 0)
        return result;
    // Bytes beyond the limit that came in the same receive are not part of the message.
    const std::string_view body = connection.ReceivedData().substr(0, limit);
    return SendGuestbookReply(connection, StoreBody(body, sender, truncated));
}

void NotifyGuestbookAlarm() {
    if (IsGuestbookAlarmOn())
        PostNotification(NotificationChannel::MainWindow, CMD_GUESTBOOK_ALARM, 0);
}

void RegisterGuestbookHandlers() {
    SetRequestHandler(Handler::GuestbookPage, SendGuestbookForm);
    SetRequestHandler(Handler::GuestbookPost, PostGuestbookMessage);
}

}  // namespace sarvo
