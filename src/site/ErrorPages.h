#pragma once

#include <string_view>

// The page every refusal carries, and the page that shows a visitor the request the browser sent.
// Both repeat the raw request header line by line.
namespace sarvo {

class HttpResponse;

void BuildErrorPage(HttpResponse& response, unsigned status, std::string_view requestText);
void BuildEchoPage(HttpResponse& response, std::string_view requestText);

// The request's lines, each followed by "<br>\r\n"; blank lines and leading blanks are dropped and
// nothing else is changed (no escaping).
void AppendRequestLines(HttpResponse& response, std::string_view requestText);

}  // namespace sarvo
