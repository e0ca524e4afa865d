#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/TextHolder.h"

namespace sarvo {

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigitValue(char c);

// Decodes %XX escapes ('+' stays '+'), takes the bytes as UTF-8 and converts them to the process
// code page. A '%' without two hexadecimal digits is kept as it is.
const char* UrlDecode(TextHolder& holder, std::string_view text);

// Converts to UTF-8, then percent-encodes every byte outside RFC 3986's unreserved characters except
// '/', which stays as the separator of path segments. The result holds no byte that HTML or a URL
// parser reads specially ('?', '#', '&', '"', '<', '\'' ...), so it can go into an href as it is and
// every name comes back byte for byte through UrlDecode.
const char* UrlEncodeForLink(TextHolder& holder, std::string_view text);

// The same encoding appended to out, for text that is already UTF-8.
void AppendLinkEncoded(std::string& out, std::string_view utf8Text);

enum class SiteUrlKind { File, Folder };

// The address of a shared folder or a published file as the window shows it: the server's URL
// (ending with '/'), the name encoded for a link, and a '/' after a folder's name.
std::string FormatSiteUrl(std::string_view serverUrl, std::string_view ansiName, SiteUrlKind kind);

// "http://a.b.c.d/" on port 80, "http://a.b.c.d:port/" otherwise. The address is in network order.
std::string FormatServerUrl(uint32_t addressNetworkOrder, uint16_t port);

}  // namespace sarvo
