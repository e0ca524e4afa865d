// Feeds arbitrary bytes to the request parser and to the Range reader, and checks what every
// accessor hands back. Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "server/ByteRange.h"
#include "server/HttpRequest.h"

namespace {

using sarvo::ByteRange;
using sarvo::HttpRequest;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Touches every byte of a view, so that a view into freed or foreign memory shows up under the
// address sanitizer even when nothing else reads it.
volatile unsigned char g_sink;
void Touch(std::string_view text) {
    unsigned char sum = 0;
    for (char c : text)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    g_sink = sum;
}

// A view handed out by the request must lie inside the input or inside the request's own copies;
// checking that it is readable is what Touch does, and here its bytes must be some of the input's.
bool IsInside(std::string_view part, std::string_view whole) {
    return part.empty() || whole.find(part) != std::string_view::npos;
}

void CheckRange(std::string_view text, uint64_t size) {
    ByteRange range{1, 0};
    if (sarvo::ParseByteRange(text, size, range)) {
        Require(range.first <= range.last && range.last < size);
        Require(!text.empty() && text.size() <= sarvo::kMaxRangeText);
    } else {
        Require(range.first == 0 && range.last == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const size_t end = sarvo::FindHeaderEnd(input);
    if (end != std::string_view::npos)
        Require(end >= 4 && end <= size && input.substr(end - 4, 4) == "\r\n\r\n");
    const bool forbidden = sarvo::HasForbiddenPartialHeaderByte(input);

    HttpRequest request;
    request.Parse(input);
    // The parser lets through every byte the partial-header check lets through.
    if (!forbidden)
        Require(!request.IsMalformed());
    if (request.IsMalformed())
        Require(request.RawHeader().empty() && request.Path().empty() &&
                request.Method() == sarvo::kMethodUnknown);
    else
        Require(request.RawHeader() == input);
    if (request.IsAcceptable())
        Require(!request.IsMalformed() && request.Method() != sarvo::kMethodUnknown &&
                !request.Path().empty());

    for (std::string_view text : {request.MethodText(), request.Path(), request.Query()}) {
        Touch(text);
        Require(IsInside(text, input));
    }
    for (const char* name : {"Host", "Content-Length", "Content-Type", "Range", "If-Range", "Authorization",
                             "Content-Disposition", "If-None-Match", "If-Modified-Since", "x", ""}) {
        std::string_view value = request.Header(name);
        Touch(value);
        Require(IsInside(value, input));
    }

    uint64_t length = 12345;
    Require(request.ContentLength(length));

    std::string_view boundary;
    if (request.MultipartBoundary(boundary)) {
        Touch(boundary);
        Require(IsInside(boundary, input));
    }

    std::string_view value;
    std::string_view bareName;
    if (request.UploadFileName(value, bareName)) {
        Touch(value);
        Touch(bareName);
        Require(!bareName.empty() && bareName.size() <= value.size());
        Require(IsInside(value, input) && IsInside(bareName, value));
    }

    std::string user;
    std::string password;
    if (request.BasicCredentials(user, password)) {
        Require(user.size() <= 255 && password.size() <= 255);
        Require(user.find(':') == std::string::npos);
    }

    // The first eight bytes, when there are that many, are a file size and the rest a Range text;
    // the request's own Range header is read against the same size.
    uint64_t fileSize = 1000;
    std::string_view rangeText = input;
    if (size >= sizeof fileSize) {
        std::memcpy(&fileSize, data, sizeof fileSize);
        rangeText = input.substr(sizeof fileSize);
    }
    CheckRange(rangeText, fileSize);
    CheckRange(request.Header("Range"), fileSize);
    CheckRange(request.Header("Range"), 1000);
    return 0;
}
