#include "site/FolderListing.h"

#include <string>

#include "common/Format.h"
#include "common/Html.h"
#include "common/TextHolder.h"
#include "server/Dispatch.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "site/DirectoryList.h"
#include "site/FileFacts.h"
#include "site/ListingParts.h"
#include "site/TitleReader.h"
#include "store/Folders.h"

namespace sarvo {
namespace {

// Home, the folder's name and the "Powered by" cell; Parent Folder and Post a File add one each.
constexpr int kBaseNavigationColumns = 3;

constexpr char kColumnHeads[] =
    "<table border=\"0\" width=\"100%\" COLS=\"5\" cellpadding=0>\r\n<tr height=\"18\">\r\n<th>Name</th>\r\n"
    "<th width=\"100\">Type</th>\r\n<th width=\"80\">Size</th>\r\n<th width=\"130\">Time</th>\r\n"
    "<th width=\"120\">Zip Folder</th>\r\n</tr>\r\n";

constexpr char kThumbnailsLabel[] = "<b style=\"color:#ff0000\">Image Thumbnails</b>";
constexpr char kRowStart[] = "<tr>\r\n<td noWrap align=\"left\"><a href=\"";
constexpr char kTypeCellStart[] = "<td noWrap align=\"left\">";
constexpr char kNoZipCell[] = "<td>&nbsp;</td>\r\n</tr>\r\n";

// The page goes to the response in pieces of about this size.
constexpr size_t kPagePiece = 64 * 1024;
// Room for the longest row beyond a piece (escaped name, title, type), so that the string holding a
// piece is allocated once.
constexpr size_t kRowReserve = 4096;

// What the share allows, read once per listing.
struct ShareRights {
    bool canPost = false;
    bool zipDownload = false;
    bool browseSubfolders = false;
};

void AppendNavigationBar(std::string& page, const ResolvedPath& path, const std::string& shownName,
                         const ShareRights& rights) {
    const bool inSubfolder = !path.rest.empty();
    const int columns = kBaseNavigationColumns + (inSubfolder ? 1 : 0) + (rights.canPost ? 1 : 0);
    page += Format("<table cols=\"%d\" rows=\"1\" border=\"0\" width=\"100%%\">\r\n", columns);
    page += "<tr>\r\n<td><h5>[";
    AppendHtmlEscaped(page, shownName);
    page += "]</h5></td>\r\n<td width=\"50\" noWrap align=\"center\"><a href=\"/\">Home</a></td>\r\n";
    if (inSubfolder)
        page += "<td width=\"110\" noWrap align=\"center\"><a href=\"..\">Parent Folder</a></td>\r\n";
    if (rights.canPost)
        page += "<td width=\"90\" noWrap align=\"center\"><a href=\"?postfile\">Post a File</a></td>\r\n";
    AppendPoweredByCell(page);
    page += "</tr>\r\n</table>\r\n";
}

void AppendFolderRow(std::string& page, const FindData& entry, const ShareRights& rights,
                     ListingTimeFormat& times) {
    page += kRowStart;
    const size_t linkStart = page.size();
    AppendLinkTarget(page, entry.name);
    const std::string link = page.substr(linkStart);
    page += "/\">[";
    AppendEscapedUtf8(page, entry.name);
    page += "]</a></td>\r\n";
    page += kTypeCellStart;
    page += "File Folder</td>\r\n";
    AppendSizeAndTimeCells(page, entry, times);
    if (rights.zipDownload) {
        page += "<td align=\"center\"><a href=\"";
        page += link;
        page += "/?zipdld\">Download</a></td>\r\n</tr>\r\n";
    } else {
        page += kNoZipCell;
    }
}

void AppendThumbnailRow(std::string& page, const FindData& entry, ListingTimeFormat& times) {
    page += kRowStart;
    AppendLinkTarget(page, entry.name);
    page += "\">";
    page += kThumbnailsLabel;
    page += "</a></td>\r\n";
    page += kTypeCellStart;
    page += kThumbnailsLabel;
    page += "</td>\r\n";
    AppendSizeAndTimeCells(page, entry, times);
    page += kNoZipCell;
}

void AppendFileRow(std::string& page, const FindData& entry, const std::string& folder,
                   const Confinement& confinement, ListingTimeFormat& times) {
    page += kRowStart;
    AppendLinkTarget(page, entry.name);
    page += "\">";
    TitleReader title(folder, entry.name, confinement);
    AppendEscapedUtf8(page, title.HasTitle() ? title.Title() : entry.name);
    page += "</a></td>\r\n";
    page += kTypeCellStart;
    AppendEscapedUtf8(page, FileTypeName(entry));
    page += "</td>\r\n";
    AppendSizeAndTimeCells(page, entry, times);
    page += kNoZipCell;
}

}  // namespace

void BuildFolderListing(HttpResponse& response, const ResolvedPath& path) {
    response.BeginResponse(kStatusOk);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, 30);
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection("close");
    response.SetContentType(kHtmlUtf8ContentType);

    const std::string shownName = AnsiToUtf8(path.lastComponent).Str();
    response.BeginHtmlPage(shownName, "#ffffff");

    ShareRights rights;
    rights.canPost = CanPostFiles(path.firstSegment);
    rights.browseSubfolders = CanBrowseSubfolders(path.firstSegment);
    rights.zipDownload = IsZipDownloadAllowed(path.firstSegment);

    DirectoryList list;
    ScanDirectory(list, path.diskPath,
                  rights.browseSubfolders ? ScanEntries::FilesAndFolders : ScanEntries::FilesOnly,
                  path.confinement);
    SortDirectoryList(list, SortColumn::Name, SortOrder::Ascending);

    // Rows are put together in a small string that is handed to the response whenever it fills: the
    // response's buffer then grows in large steps, and the page is not held twice for a large folder.
    std::string page;
    page.reserve(kPagePiece + kRowReserve);
    auto flushWhenFull = [&page, &response] {
        if (page.size() >= kPagePiece) {
            response.AppendText(page);
            page.clear();
        }
    };
    AppendNavigationBar(page, path, shownName, rights);
    page += kColumnHeads;

    ListingTimeFormat times;

    for (const FindData& entry : list) {
        if (IsDirectoryEntry(entry)) {
            AppendFolderRow(page, entry, rights, times);
            flushWhenFull();
        }
    }
    for (const FindData& entry : list) {
        if (!IsDirectoryEntry(entry) && IsThumbnailIndexName(entry.name))
            AppendThumbnailRow(page, entry, times);
    }
    for (const FindData& entry : list) {
        if (!IsDirectoryEntry(entry) && !IsThumbnailIndexName(entry.name)) {
            AppendFileRow(page, entry, path.diskPath, path.confinement, times);
            flushWhenFull();
        }
    }

    page += "</table>\r\n<hr color=\"#000000\" size=\"1\" style=\"margin-top:16;margin-bottom:3\">\r\n";
    page += "</BODY>\r\n</HTML>\r\n";
    response.AppendText(page);
    response.FinishHeaders();
}

void BuildFolderListing(HttpResponse& response, std::string_view urlPath) {
    BuildFolderListing(response, ResolvePath(urlPath));
}

int SendFolderListing(ConnectionContext& connection, const ResolvedPath& path) {
    HttpResponse response;
    BuildFolderListing(response, path);
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace sarvo
