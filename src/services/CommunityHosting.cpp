#include "services/CommunityHosting.h"

#include "common/Html.h"
#include "common/Text.h"
#include "common/TextHolder.h"
#include "server/ConnectionContext.h"
#include "server/HttpResponse.h"
#include "server/HttpServer.h"
#include "server/SendResponse.h"
#include "services/CommunityStore.h"
#include "site/ListingParts.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr char kPageTitle[] = "Web Community";
constexpr char kTitleBar[] =
    "<table cols=\"2\" rows=\"1\" border=\"0\" width=\"100%\">\r\n<tr>\r\n<td><h4>Web "
    "Community</h4></td>\r\n";
constexpr char kTitleBarEnd[] =
    "</tr>\r\n</table>\r\n<hr color=\"#000000\" size=\"1\" style=\"margin-top:0;margin-bottom:0\">\r\n";
constexpr char kMembersHead[] =
    "<h5 style=\"color:#ff0000;margin-top:9;margin-bottom:9\">Members</h5>\r\n<ul>\r\n";
constexpr char kHostsHeadAfterMembers[] =
    "<h5 style=\"color:#ff0000;margin-top:48;margin-bottom:9\">Hosts</h5>\r\n<ul>\r\n";
constexpr char kHostsHeadAlone[] =
    "<h5 style=\"color:#ff0000;margin-top:9;margin-bottom:9\">Hosts</h5>\r\n<ul>\r\n";
constexpr char kListEnd[] = "</ul>\r\n";
constexpr char kCommunityPagePath[] = "/WebCommunity/";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte the characters after a '%' spell: the hexadecimal digits at their front, as a number
// reader takes them (none gives 0).
char HexByte(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return static_cast<char>(value);
}

// Only an address of the web gets a link: anything else (a "javascript:" address above all) would be
// followed by the visitor's browser as the member sent it.
bool IsWebAddress(std::string_view address) {
    return StartsWithIgnoreCase(address, "http://") || StartsWithIgnoreCase(address, "https://");
}

void AppendEscapedUtf8(std::string& page, std::string_view ansiText) {
    AppendHtmlEscaped(page, AnsiToUtf8(ansiText).Str());
}

// One list item: the name, linked to the address when it is one of the web, then the description.
void AppendListItem(std::string& page, std::string_view address, std::string_view name,
                    std::string_view description) {
    page += "<li>";
    if (IsWebAddress(address)) {
        page += "<a href=\"";
        AppendEscapedUtf8(page, address);
        page += "\" target=\"_blank\">";
        AppendEscapedUtf8(page, name);
        page += "</a>";
    } else {
        AppendEscapedUtf8(page, name);
    }
    page += ":&nbsp;&nbsp;";
    AppendEscapedUtf8(page, description);
    page += "\r\n";
}

}  // namespace

std::optional<std::string> FindLoginValue(std::string_view query, std::string_view key, size_t limit) {
    size_t at = query.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string value;
    for (size_t i = at + key.size(); i < query.size() && query[i] != '&' && value.size() < limit; ++i) {
        if (query[i] == '+') {
            value.push_back(' ');
        } else if (query[i] == '%') {
            value.push_back(HexByte(query.substr(i + 1, 2)));
            i += std::min<size_t>(2, query.size() - i - 1);
        } else {
            value.push_back(query[i]);
        }
    }
    TrimBlanks(value);
    return value;
}

const char* AcceptCommunityLogin(std::string_view query) {
    if (!IsWebCommHost())
        return kLoginNotSupported;
    if (query.empty())
        return kLoginBadParameters;
    std::optional<std::string> id = FindLoginValue(query, "id=", kLoginIdDecodeLimit);
    if (!id || id->empty())
        return kLoginBadParameters;
    if (!FindCommunityMember(*id))
        return kLoginMemberIdNotExists;
    std::optional<std::string> name = FindLoginValue(query, "name=", kCommunityTextMax);
    if (!name || name->empty())
        return kLoginBadParameters;
    std::optional<std::string> url = FindLoginValue(query, "url=", kCommunityTextMax);
    if (!url || url->size() < kLoginUrlMinLength)
        return kLoginBadParameters;
    std::optional<std::string> description = FindLoginValue(query, "desc=", kCommunityTextMax);
    if (!description)
        return kLoginBadParameters;
    // The member may have been removed since it was found: then nothing is stored, and it learns so.
    if (!StoreMemberLogin({*id, *name, *url, *description, GetLocalTime()}))
        return kLoginMemberIdNotExists;
    return nullptr;
}

std::string CommunityLoginReplyBody(const char* refusal) {
    if (refusal)
        return std::string("rejected\r\n") + refusal;
    return "accepted\r\n" + GetWebCommNameAsHost() + "\r\n" + ServerUrl() + kCommunityPagePath + "\r\n" +
           GetWebCommDescAsHost();
}

void BuildCommunityPage(HttpResponse& response) {
    response.BeginResponse(200);
    response.SetConnection("close");
    response.SetContentType("text/html");
    response.BeginHtmlPage(kPageTitle, "#ffffff");
    std::string page = kTitleBar;
    AppendPoweredByCell(page);
    page += kTitleBarEnd;
    const bool asHost = IsWebCommHost();
    if (asHost) {
        page += kMembersHead;
        for (const CommunityMember& member : ListCommunityMembers()) {
            if (!member.url.empty() && !member.name.empty())
                AppendListItem(page, member.url, member.name, member.description);
        }
        page += kListEnd;
    }
    if (IsWebCommMember()) {
        page += asHost ? kHostsHeadAfterMembers : kHostsHeadAlone;
        for (const CommunityHost& host : ListCommunityHosts()) {
            if (!host.hostPage.empty() && !host.hostName.empty())
                AppendListItem(page, host.hostPage, host.hostName, host.hostDescription);
        }
        page += kListEnd;
    }
    response.AppendText(page);
    response.FinishHeaders();
}

int HandleCommunityLogin(ConnectionContext& connection, const ResolvedPath&) {
    HttpResponse response;
    response.BeginResponse(200);
    response.SetConnection("close");
    response.SetContentType("text/plain");
    response.AppendText(CommunityLoginReplyBody(AcceptCommunityLogin(connection.request.Query())));
    response.FinishHeaders();
    return SendResponse(connection, response, ProgressReport::On);
}

int SendCommunityPage(ConnectionContext& connection, const ResolvedPath&) {
    HttpResponse response;
    BuildCommunityPage(response);
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace sarvo
