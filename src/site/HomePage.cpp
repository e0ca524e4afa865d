#include "site/HomePage.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/Html.h"
#include "common/ServiceNames.h"
#include "common/TextHolder.h"
#include "platform/FindData.h"
#include "server/Dispatch.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "server/RequestHandlers.h"
#include "server/SendResponse.h"
#include "site/DirectoryList.h"
#include "site/FileFacts.h"
#include "site/ListingParts.h"
#include "site/TitleReader.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr char kRule[] = "<hr color=\"#000000\" size=\"1\" style=\"margin-top:0;margin-bottom:0\">\r\n";

constexpr char kFoldersHead[] =
    "<h5 style=\"color:#ff0000;margin-top:12;margin-bottom:3\">Folders</h5>\r\n"
    "<table border=\"0\" width=\"100%\" COLS=\"4\" cellpadding=\"0\" noWrap>\r\n"
    "<tr>\r\n<th width=\"160\">Name</th>\r\n<th width=\"60\">Post</th>\r\n<th>Description</th>\r\n"
    "<th width=\"120\">Zip Folder</th>\r\n</tr>\r\n";

constexpr char kFilesHead[] =
    "<h5 style=\"color:#ff0000;margin-top:32;margin-bottom:3\">Files</h5>\r\n"
    "<table border=\"0\" width=\"100%\" COLS=4 cellpadding=0>\r\n"
    "<tr height=\"18\">\r\n<th>Name</th>\r\n<th width=\"120\">Type</th>\r\n<th width=\"120\">Size</th>\r\n"
    "<th width=\"150\">Time</th>\r\n</tr>\r\n";

constexpr char kPostYes[] = "<td align=\"center\">yes</td>\r\n";
constexpr char kPostNo[] = "<td align=\"center\">no</td>\r\n";
constexpr char kEmptyCell[] = "<td>&nbsp;</td>\r\n";

// A visitor service's row; its description is the title its own pages carry.
struct ServiceRow {
    std::string_view name;
    bool allowsPosting;
    const char* description;
};

// A published file that exists, with the record that published it.
struct PublishedRow {
    FindData entry;  // the file's find data, named by its published name
    PublishedFileRecord record;
};

void AppendTitleBar(std::string& page, const std::string& title) {
    page += "<table cols=\"2\" rows=\"1\" border=\"0\" width=\"100%\">\r\n<tr>\r\n<td><h4>";
    AppendHtmlEscaped(page, title);
    page += "</h4></td>\r\n";
    AppendPoweredByCell(page);
    page += "</tr>\r\n</table>\r\n";
    page += kRule;
}

void AppendIntroduction(std::string& page) {
    std::string intro = GetSiteIntro();
    if (intro.empty())
        return;
    page += "<p>";
    AppendEscapedUtf8(page, intro);
    page += "</p>\r\n";
    page += kRule;
}

void AppendFolderRow(std::string& page, const std::string& name) {
    std::string link;
    AppendLinkTarget(link, name);
    page += "<tr>\r\n<td><a href=\"/";
    page += link;
    page += "/\">";
    AppendEscapedUtf8(page, name);
    page += "</a></td>\r\n";
    page += CanPostFiles(name) ? kPostYes : kPostNo;
    std::string description;
    if (GetFolderDescription(name, description) && !description.empty()) {
        page += "<td>";
        AppendEscapedUtf8(page, description);
        page += "</td>\r\n";
    } else {
        page += "<td>&nbsp;</td>\r\n";
    }
    if (IsZipDownloadAllowed(name))
        page += Format("<td align=\"center\"><a href=\"/%s/?zipdld\">Download</a></td>\r\n", link.c_str());
    else
        page += kEmptyCell;
    page += "</tr>\r\n";
}

void AppendServiceRow(std::string& page, const ServiceRow& service) {
    const std::string name(service.name);
    page +=
        Format("<tr>\r\n<td><a href=\"/%s/\" target=\"_blank\">%s</a></td>\r\n", name.c_str(), name.c_str());
    page += service.allowsPosting ? kPostYes : kPostNo;
    page += "<td>";
    page += service.description;
    page += "</td>\r\n<td>&nbsp;</td>\r\n</tr>\r\n";
}

void AppendFoldersTable(std::string& page) {
    // Visibility is needed before anything is written: the table appears only when it has a row.
    std::vector<std::string> visible;
    std::string name;
    for (int index = 0; EnumFolderName(index, name); ++index) {
        if (IsFolderVisible(name))
            visible.push_back(name);
    }
    std::vector<ServiceRow> services;
    if (IsGuestbookEnabled())
        services.push_back({kGuestbookName, true, kGuestbookTitle});
    if (ChatRoomIsOpen())
        services.push_back({kWebchatName, false, kWebchatTitle});
    if (IsWebCommHost() || IsWebCommMember())
        services.push_back({kWebCommunityName, false, kWebCommunityTitle});
    if (visible.empty() && services.empty())
        return;

    page += kFoldersHead;
    for (const std::string& folder : visible)
        AppendFolderRow(page, folder);
    for (const ServiceRow& service : services)
        AppendServiceRow(page, service);
    page += "</table>\r\n";
}

std::vector<PublishedRow> ExistingPublishedFiles() {
    std::vector<PublishedRow> rows;
    for (int index = 0;; ++index) {
        std::optional<PublishedFileEntry> published = EnumPublishedFile(index);
        if (!published)
            break;
        // The record's path is looked up the way a directory search finds one name: no volume is
        // asked, and a path that does not exist adds nothing.
        DirectoryEnumerator search(published->record.path);
        FindData entry;
        if (!search.Next(entry))
            continue;
        if (!published->name.empty())
            entry.name = published->name;
        if (IsDirectoryEntry(entry) && entry.name.starts_with('.'))
            continue;
        rows.push_back({std::move(entry), std::move(published->record)});
    }
    std::sort(rows.begin(), rows.end(), [](const PublishedRow& a, const PublishedRow& b) {
        return CompareDirectoryEntries(a.entry, b.entry, SortColumn::Name) < 0;
    });
    return rows;
}

void AppendFilesTable(std::string& page) {
    std::vector<PublishedRow> rows = ExistingPublishedFiles();
    if (rows.empty())
        return;
    page += kFilesHead;
    ListingTimeFormat times;
    for (const PublishedRow& row : rows) {
        page += "<tr>\r\n<td noWrap align=\"left\"><a href=\"";
        AppendLinkTarget(page, row.entry.name);
        page += "\">";
        TitleReader title(row.record.path);
        AppendEscapedUtf8(page, title.HasTitle() ? title.Title() : row.entry.name);
        // The record in hand says what IsRealTimeFile would read again from the store.
        page += row.record.realTime != 0 ? "</a> (RTF)</td>\r\n" : "</a></td>\r\n";
        page += "<td noWrap align=\"left\">";
        AppendEscapedUtf8(page, FileTypeName(row.entry));
        page += "</td>\r\n";
        AppendSizeAndTimeCells(page, row.entry, times);
        page += "</tr>\r\n";
    }
    page += "</table>\r\n";
}

}  // namespace

void BuildHomePage(HttpResponse& response) {
    response.BeginResponse(kStatusOk);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, 1);
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection("close");
    response.SetContentType(kHtmlUtf8ContentType);

    const std::string title = AnsiToUtf8(GetMainPageTitle()).Str();
    response.BeginHtmlPage(title, "#ffffff");
    // The page is put together in one string and handed over at once, so the response's buffer grows
    // once instead of once per row.
    std::string page;
    AppendTitleBar(page, title);
    AppendIntroduction(page);
    AppendFoldersTable(page);
    if (IsDynamicFolderVisible())
        AppendFilesTable(page);
    page += "</BODY>\r\n</HTML>\r\n";
    response.AppendText(page);
    response.FinishHeaders();
}

int SendHomePage(ConnectionContext& connection, const ResolvedPath&) {
    HttpResponse response;
    BuildHomePage(response);
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace sarvo
