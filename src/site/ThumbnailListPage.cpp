#include "site/ThumbnailListPage.h"

#include <string>

#include "common/Format.h"
#include "common/Html.h"
#include "common/TextHolder.h"
#include "common/Url.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "server/SendResponse.h"
#include "site/ThumbnailIndex.h"

namespace sarvo {
namespace {

// The page brings its own head rather than the shared one: the previews need a fixed cell width and
// no borders around the images.
constexpr char kPageHead[] =
    "<HTML>\r\n<HEAD>\r\n<meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\">\r\n"
    "<STYLE TYPE=\"TEXT/CSS\">\r\n"
    "BODY{background-color:#ffffff;margin-left:3;margin-top:3;margin-right:0;margin-bottom:0}\r\n"
    "img{margin-left:0;margin-top:0;margin-right:0;margin-bottom:0;border:0 none #c0c0c0}\r\n"
    "td.pic{vertical-align:middle;text-align:center;border:1px solid #c0c0c0}\r\n"
    "td.inf{vertical-align:top;text-align:center}\r\n"
    "div{width:120;overflow:hidden;font:10px sans-serif;text-align:center}\r\n"
    "</STYLE>\r\n</HEAD>\r\n<BODY>\r\n";
constexpr char kPageEnd[] = "</table>\r\n</BODY>\r\n</HTML>\r\n";

constexpr char kRowStart[] = "<tr>\r\n";
constexpr char kRowEnd[] = "</tr>\r\n";
constexpr char kEmptyCell[] = "<td width=\"120\">&nbsp;</td>\r\n";
constexpr char kSpacerCell[] = "<td width=\"6\">&nbsp;</td>\r\n";

// Only the first row states the picture columns' width; the rows below follow it.
enum class RowPlace { First, Later };

void AppendPictureCell(std::string& row, RowPlace place, const std::string& name) {
    std::string link;
    AppendLinkEncoded(link, name);
    row += place == RowPlace::First ? "<td width=\"120\" class=\"pic\"><a href=\"./"
                                    : "<td class=\"pic\"><a href=\"./";
    row += link;
    row += "\" target=\"_blank\"><img src=\"./";
    row += link;
    row += "?thumbnail\"></a></td>\r\n";
}

void AppendCaptionCell(std::string& row, RowPlace place, const std::string& name,
                       const ThumbnailEntryHeader& entry) {
    row += place == RowPlace::First ? "<td width=\"120\" class=\"inf\"><div>" : "<td class=\"inf\"><div>";
    AppendHtmlEscaped(row, name);
    // Dimension B is the preview's width and A its height, so the caption reads "width x height".
    row += Format("<br>%lu x %lu<br>&nbsp;</div></td>\r\n", static_cast<unsigned long>(entry.dimensionB),
                  static_cast<unsigned long>(entry.dimensionA));
}

// One row of pictures and one of captions. Returns false once the index has run out, which makes this
// the last row: so the table always ends with a row that is partly or wholly empty.
bool AppendRow(HttpResponse& response, ThumbnailIndex& index, RowPlace place) {
    std::string pictures;
    std::string captions;
    pictures.reserve(kThumbnailRowBufferSize);
    captions.reserve(kThumbnailRowBufferSize);
    pictures = kRowStart;
    captions = kRowStart;
    bool entriesRemain = true;
    ThumbnailEntryHeader entry;
    for (int column = 0; column < kThumbnailColumns; ++column) {
        if (entriesRemain && index.Next(entry)) {
            const AnsiToUtf8 name(entry.name);
            AppendPictureCell(pictures, place, name.Str());
            AppendCaptionCell(captions, place, name.Str(), entry);
        } else {
            entriesRemain = false;
            pictures += kEmptyCell;
            captions += kEmptyCell;
        }
        if (column + 1 < kThumbnailColumns) {
            pictures += kSpacerCell;
            captions += kSpacerCell;
        }
    }
    pictures += kRowEnd;
    captions += kRowEnd;
    response.AppendText(pictures);
    response.AppendText(captions);
    return entriesRemain;
}

}  // namespace

void BuildThumbnailListPage(HttpResponse& response, std::string_view indexPath,
                            const Confinement& confinement) {
    response.BeginResponse(200);
    response.AddDateHeader("Last-Modified");
    response.AddExpires(0, kThumbnailListExpiresMinutes);
    response.AddHeader("Accept-Ranges", "bytes");
    response.SetConnection("close");
    response.SetContentType(kHtmlUtf8ContentType);

    response.AppendText(kPageHead);
    // A missing index reads as one without entries, so the page still comes out whole.
    ThumbnailIndex index;
    index.Open(indexPath, confinement);
    response.AppendText(Format("<table width=\"100%%\" cols=\"%d\" cellSpacing=\"0\" cellPadding=\"0\">\r\n",
                               kThumbnailTableColumns));
    RowPlace place = RowPlace::First;
    while (AppendRow(response, index, place))
        place = RowPlace::Later;
    response.AppendText(kPageEnd);
    response.FinishHeaders();
    index.Close();
}

int SendThumbnailList(ConnectionContext& connection, const ResolvedPath& path) {
    HttpResponse response;
    BuildThumbnailListPage(response, path.diskPath, path.confinement);
    return SendResponse(connection, response, ProgressReport::On);
}

}  // namespace sarvo
