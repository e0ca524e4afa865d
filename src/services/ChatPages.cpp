#include "services/ChatPages.h"

#include <chrono>
#include <memory>

#include "common/Format.h"
#include "common/Html.h"
#include "common/Text.h"
#include "common/TextHolder.h"
#include "platform/WinsockError.h"
#include "server/ConnectionContext.h"
#include "server/Dispatch.h"
#include "server/HttpResponse.h"
#include "server/RequestHandlers.h"
#include "server/RequestReader.h"
#include "server/RouteTable.h"
#include "server/SendResponse.h"
#include "server/ServerIdentity.h"
#include "services/Webchat.h"

namespace sarvo {
namespace {

constexpr unsigned kNoContent = 204;
constexpr char kFormContentType[] = "application/x-www-form-urlencoded";

constexpr char kFramesetStart[] =
    "<HTML>\r\n<SCRIPT LANGUAGE=JAVASCRIPT>\r\nvar inputready=false;\r\n</SCRIPT>\r\n"
    "<FRAMESET cols=\"25%,*\" framespacing=\"2\" frameborder=\"yes\">\r\n"
    "<FRAME src=\"list.htm\" name=\"list\" margintop=\"0\" marginleft=\"0\">\r\n"
    "<FRAMESET rows=\"70%,*\">\r\n";
constexpr char kFramesetFrames[] =
    "<FRAME src=\"output.htm?id=%lu\" name=\"output\" scrolling=\"auto\">\r\n"
    "<FRAME src=\"input.htm?id=%lu\" name=\"input\" scrolling=\"no\">\r\n";
constexpr char kFramesetEnd[] = "</FRAMESET>\r\n</FRAMESET>\r\n</html>\r\n";

constexpr char kInputPage[] =
    "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<SCRIPT LANGUAGE=JAVASCRIPT>\r\n"
    "function onkey(e)\r\n{\r\n"
    "var box = document.getElementById(\"editbox\");\r\n"
    "if (e.keyCode != 13 || e.shiftKey || box.value == \"\")\r\nreturn true;\r\n"
    "document.fm.speechtext.value = box.value;\r\n"
    "box.value = \"\";\r\n"
    "document.fm.submit();\r\n"
    "return false;\r\n}\r\n"
    "</SCRIPT>\r\n</HEAD>\r\n"
    "<BODY bgColor=\"#ffffff\" style=\"margin:0\" onfocus=\"document.getElementById('editbox').focus();\" "
    "onload=\"parent.inputready=true;\">\r\n"
    "<form METHOD=\"POST\" name=\"fm\">\r\n"
    "<input type=\"hidden\" name=\"to\" value=\"All\">\r\n"
    "<textarea name=\"speechtext\" id=\"speech\" style=\"display:none\"></textarea>\r\n"
    "</form>\r\n"
    "<textarea id=\"editbox\" style=\"border:0;width:100%;height:100%;overflow:auto\" "
    "onkeypress=\"return onkey(event);\"></textarea>\r\n"
    "</BODY>\r\n</HTML>\r\n";

constexpr char kListStart[] =
    "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<STYLE TYPE=\"TEXT/CSS\">\r\nBODY{font: x-small Verdana, Arial, Helvetica, sans-serif}\r\n"
    "TD{color:#FFA500;cursor:pointer}\r\n</STYLE>\r\n"
    "<SCRIPT LANGUAGE=JAVASCRIPT>\r\n"
    "function Hilit(cel)\r\n{\r\n"
    "var cells = document.getElementsByTagName(\"td\");\r\n"
    "for (var i = 0; i < cells.length; i++) {\r\n"
    "cells[i].style.backgroundColor = \"#000000\";\r\ncells[i].style.color = \"#FFA500\";\r\n}\r\n"
    "cel.style.backgroundColor = \"#0000ff\";\r\ncel.style.color = \"#ffff00\";\r\n"
    "if (parent.input && parent.input.document.fm)\r\nparent.input.document.fm.to.value = cel.innerText;\r\n"
    "}\r\n"
    "function UpdateSel()\r\n{\r\n"
    "if (!parent.input)\r\nreturn;\r\n"
    "if (!parent.inputready) {\r\nsetTimeout(UpdateSel, 200);\r\nreturn;\r\n}\r\n"
    "var to = parent.input.document.fm.to.value;\r\n"
    "var cells = document.getElementsByTagName(\"td\");\r\n"
    "for (var i = 0; i < cells.length; i++) {\r\n"
    "if (cells[i].innerText == to) {\r\nHilit(cells[i]);\r\nreturn;\r\n}\r\n}\r\n}\r\n"
    "</SCRIPT>\r\n</HEAD>\r\n"
    "<BODY bgColor=\"#000000\" onload=\"UpdateSel();\">\r\n"
    "<h5 align=\"center\" style=\"color:#FFA500\" onclick=\"document.location.reload();\">Members</h5>\r\n"
    "<hr size=1 color=\"#ffff00\">\r\n<table width=\"100%\">\r\n"
    "<tr><td onclick=\"Hilit(this);\">All</td></tr>\r\n";
constexpr char kListEnd[] = "</table>\r\n</BODY>\r\n</HTML>\r\n";

constexpr char kNoticeStart[] =
    "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" content=\"text/html\">\r\n"
    "<TITLE>Sarvo Chat Room</TITLE>\r\n</HEAD>\r\n<BODY bgColor=\"#000000\">\r\n"
    "<h3 style=\"color:#00BFFF\"><a href=\"";
constexpr char kNoticeMiddle[] =
    "\">Sarvo</a> Chat Room</h3>\r\n<hr size=1 color=\"#ffff00\">\r\n"
    "<table width=\"100%\" height=\"70%\"><tr><td align=\"center\" style=\"color:#ffffff\">";
constexpr char kNoticeEnd[] = "</td></tr></table>\r\n</BODY>\r\n</HTML>\r\n";

int SendPage(ConnectionContext& connection, std::string_view body) {
    HttpResponse response;
    response.BeginResponse(200);
    response.SetConnection("close");
    response.SetContentType("text/html");
    response.AppendText(body);
    response.FinishHeaders();
    return SendResponse(connection, response, ProgressReport::On);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Receives until limit bytes of the body are held. False when the client failed or took too long; the
// request is then left without an answer.
bool ReceiveBody(ConnectionContext& connection, size_t limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kChatSpeechTimeLimitMs);
    while (connection.ReceivedData().size() < limit) {
        if (Clock::now() >= deadline)
            return false;
        const int received = connection.ReceiveSome(kReceiveStepMs);
        if (received < 0 && received != -kWsaEWouldBlock)
            return false;
    }
    return true;
}

// A posted text in the process code page, as far as a C string would hold it.
std::string FormText(std::string_view body, std::string_view key, bool& found) {
    std::string value;
    found = FindFormValue(body, key, value);
    std::string text = Utf8ToAnsi(value).Str();
    return text.substr(0, text.find('\0'));
}

}  // namespace

bool FindFormValue(std::string_view body, std::string_view key, std::string& value) {
    const size_t at = body.find(key);
    if (at == std::string_view::npos)
        return false;
    std::string_view raw = body.substr(at + key.size());
    raw = raw.substr(0, raw.find('&'));
    value.clear();
    for (size_t index = 0; index < raw.size(); ++index) {
        const char c = raw[index];
        if (c == '+') {
            value += ' ';
        } else if (c == '%' && index + 2 < raw.size() && HexDigit(raw[index + 1]) >= 0 &&
                   HexDigit(raw[index + 2]) >= 0) {
            value += static_cast<char>(HexDigit(raw[index + 1]) * 16 + HexDigit(raw[index + 2]));
            index += 2;
        } else {
            value += c;
        }
    }
    return true;
}

int SendWebchatFrameset(ConnectionContext& connection, const ResolvedPath&) {
    const unsigned long id = NewChatMemberId();
    std::string body = kFramesetStart;
    body += Format(kFramesetFrames, id, id);
    body += kFramesetEnd;
    return SendPage(connection, body);
}

int SendWebchatInput(ConnectionContext& connection, const ResolvedPath&) {
    return SendPage(connection, kInputPage);
}

int SendWebchatList(ConnectionContext& connection, const ResolvedPath&) {
    std::string body = kListStart;
    for (const ChatMemberInfo& member : CopyChatMembers()) {
        body += "<tr><td onclick=\"Hilit(this);\">";
        AppendHtmlEscaped(body, AnsiToUtf8(member.name).Str());
        body += "</td></tr>\r\n";
    }
    body += kListEnd;
    return SendPage(connection, body);
}

int SendWebchatNotice(ConnectionContext& connection, std::string_view text) {
    std::string body = kNoticeStart;
    body += kMakerWebAddress;
    body += kNoticeMiddle;
    AppendHtmlEscaped(body, text);
    body += kNoticeEnd;
    return SendPage(connection, body);
}

int SendWebchatNotOpen(ConnectionContext& connection, const ResolvedPath&) {
    return SendWebchatNotice(connection, kChatNotOpenText);
}

int SendWebchatFull(ConnectionContext& connection, const ResolvedPath&) {
    return SendWebchatNotice(connection, kChatFullText);
}

int PostWebchatSpeech(ConnectionContext& connection, const ResolvedPath&) {
    const HttpRequest& request = connection.request;
    const uint32_t id = static_cast<uint32_t>(ChatMemberId(request.Query()));
    if (id == 0 || FindChatMember(id) < 0)
        return SendWebchatNotice(connection, kNotInRoomText);
    uint64_t length = 0;
    request.ContentLength(length);
    if (length == 0 || !EqualsIgnoreCase(TrimmedCopy(request.ContentType()), kFormContentType))
        return SendErrorPage(connection, kNoContent);
    const size_t limit = static_cast<size_t>(std::min<uint64_t>(length, kChatSpeechBodyLimit));
    if (!ReceiveBody(connection, limit))
        return 0;
    const std::string_view body = connection.ReceivedData().substr(0, limit);
    bool hasRecipient = false;
    bool hasSpeech = false;
    std::string recipient = FormText(body, "to=", hasRecipient);
    std::string speech = FormText(body, "speechtext=", hasSpeech);
    if (hasRecipient && hasSpeech)
        PostChatSpeech(id, std::move(recipient), std::move(speech));
    return SendErrorPage(connection, kNoContent);
}

int HandOverWebchatOutput(ConnectionContext& connection, const ResolvedPath&) {
    const uint32_t id = static_cast<uint32_t>(ChatMemberId(connection.request.Query()));
    if (id == 0)
        return SendErrorPage(connection, kStatusForbidden);
    auto socket = std::make_unique<TcpSocket>();
    socket->Attach(connection.DetachSocket());
    PostChatJoin(id, std::move(socket));
    return 0;
}

void RegisterWebchatHandlers() {
    SetRequestHandler(Handler::ChatNotOpen, SendWebchatNotOpen);
    SetRequestHandler(Handler::ChatFull, SendWebchatFull);
    SetRequestHandler(Handler::ChatSpeech, PostWebchatSpeech);
    SetRequestHandler(Handler::ChatFrameset, SendWebchatFrameset);
    SetRequestHandler(Handler::ChatInput, SendWebchatInput);
    SetRequestHandler(Handler::ChatMemberList, SendWebchatList);
    SetRequestHandler(Handler::ChatOutput, HandOverWebchatOutput);
    SetChatRoomQueries(IsChatRoomOpen, [] { return !HasFreeChatSlot(); });
}

}  // namespace sarvo
