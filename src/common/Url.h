#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/TextHolder.h"

namespace sarvo {

// Decodes %XX escapes ('+' stays '+'), takes the bytes as UTF-8 and converts them to the process
// code page. A '%' without two hexadecimal digits is kept as it is.
const char* UrlDecode(TextHolder& holder, std::string_view text);

// Escapes only ' ', '#' and '%' (the bytes a browser would otherwise misread in an href), then
// converts to UTF-8. Other reserved characters pass unchanged.
const char* UrlEncodeForLink(TextHolder& holder, std::string_view text);

// "http://a.b.c.d/" on port 80, "http://a.b.c.d:port/" otherwise. The address is in network order.
std::string FormatServerUrl(uint32_t addressNetworkOrder, uint16_t port);

}  // namespace sarvo
