#include "site/ListingParts.h"

#include <algorithm>

#include "common/Html.h"
#include "common/TextHolder.h"
#include "common/Url.h"
#include "platform/CodePage.h"
#include "server/ServerIdentity.h"
#include "site/FileFacts.h"

namespace sarvo {

void AppendPoweredByCell(std::string& page) {
    page += "<td noWrap width=\"300\" align=\"right\">Powered by <a href=\"";
    page += kProductPageAddress;
    page += "\" target=\"_blank\">Sarvo</a></td>\r\n";
}

namespace {

// Most names are plain ASCII, which is already UTF-8 when the process code page is; only the others
// need the conversion, which a listing of thousands of rows would otherwise pay for every row.
bool IsAlreadyUtf8(std::string_view ansiText) {
    return ProcessCodePageIsUtf8() && std::all_of(ansiText.begin(), ansiText.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x80;
           });
}

}  // namespace

void AppendEscapedUtf8(std::string& page, std::string_view ansiText) {
    if (IsAlreadyUtf8(ansiText))
        AppendHtmlEscaped(page, ansiText);
    else
        AppendHtmlEscaped(page, AnsiToUtf8(ansiText).Str());
}

void AppendLinkTarget(std::string& page, std::string_view ansiName) {
    if (IsAlreadyUtf8(ansiName)) {
        AppendLinkEncoded(page, ansiName);
        return;
    }
    TextHolder link;
    page += UrlEncodeForLink(link, ansiName);
}

void AppendSizeAndTimeCells(std::string& page, const FindData& entry, ListingTimeFormat& times) {
    page += "<td noWrap align=\"right\">";
    page += FormatSize(entry.size);
    page += "</td>\r\n<td noWrap align=\"right\">";
    page += times(entry.lastWriteTime);
    page += "</td>\r\n";
}

}  // namespace sarvo
