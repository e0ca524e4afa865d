#pragma once

#include <string>
#include <string_view>

#include "platform/FindData.h"
#include "site/FileFacts.h"

// Pieces the home page and the folder listing share, written into a page under construction.
namespace sarvo {

// The right-hand cell of both pages' title bars, linking to the product's page.
void AppendPoweredByCell(std::string& page);

// A text of the process code page (a name, a title) appended in UTF-8, as every page is sent, and
// HTML-escaped, since names and titles come from disk or from visitors.
void AppendEscapedUtf8(std::string& page, std::string_view ansiText);

// The name as a link target, encoded as UrlEncodeForLink encodes it.
void AppendLinkTarget(std::string& page, std::string_view ansiName);

// The size cell and the local-time cell of a row, each ending its line.
void AppendSizeAndTimeCells(std::string& page, const FindData& entry, ListingTimeFormat& times);

}  // namespace sarvo
