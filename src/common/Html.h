#pragma once

#include <string>
#include <string_view>

namespace sarvo {

// Every text that came from disk, from the owner or from a visitor goes through this before a page
// writes it as text or inside a quoted attribute: '&', '<', '>', '"' and '\'' become character
// references, every other byte stays as it is.
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace sarvo
