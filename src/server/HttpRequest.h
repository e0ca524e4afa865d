#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/PublishedFiles.h"

namespace sarvo {

inline constexpr int kMethodUnknown = -1;
inline constexpr int kMethodGet = 0;
inline constexpr int kMethodPost = 1;
inline constexpr int kMethodHead = 2;
inline constexpr int kMethodOptions = 3;
inline constexpr int kMethodDelete = 4;
inline constexpr int kMethodPut = 5;
inline constexpr int kMethodTrace = 6;

// With the auto-block list in use, a header that has not ended after this many bytes gets its
// sender blocked.
inline constexpr size_t kMaxPartialHeader = 2048;

// Limits of an acceptable path, counted after percent-decoding, so that a link the server writes
// itself is never refused for the length of its encoding. The first segment names a shared folder, a
// published file or a service; the longest of these is a published file's name. The rest lies below
// a shared folder, and no path longer than the system's own limit can be opened there.
inline constexpr size_t kMaxFirstPathSegment = kPublishedNameMax;
inline constexpr size_t kMaxPathRest = PATH_MAX;

// The length of the header block up to and including its first CR LF CR LF; npos when it has not
// ended yet.
size_t FindHeaderEnd(std::string_view data);

// True when a header that has not ended yet holds a byte of 127 or above or a control byte other
// than CR, LF and TAB. Browsers send request headers in ASCII, so such bytes come from probes. A
// block that arrived whole is judged by HttpRequest::Parse alone, which lets bytes such as 0xE9
// through.
bool HasForbiddenPartialHeaderByte(std::string_view data);

// One parsed header block: the request line and the header lines. The path and query are kept as
// received, not URL-decoded; decoding belongs to path resolution. The upload writer parses the part
// headers of a multipart body with this same type, their first line standing in for a request line.
//
// Every text handed out points into this object and stays valid until the next Parse. For that
// reason the object is neither copied nor moved.
class HttpRequest {
public:
    HttpRequest() = default;
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Resets the request, then parses the block (a complete header block, CR LF CR LF included). An
    // empty block leaves it reset.
    void Parse(std::string_view block);
    void Reset();

    // One of the kMethod constants; kMethodUnknown before parsing and for any other method.
    int Method() const { return m_method; }
    std::string_view MethodText() const { return m_methodText; }
    std::string_view Path() const { return m_path; }
    // The text after '?', "" without one.
    std::string_view Query() const { return m_query; }
    // The block as received; "" for a malformed one, so that no page echoes its bytes.
    std::string_view RawHeader() const { return m_rawHeader; }
    bool IsMalformed() const { return m_malformed; }
    // A known method, no forbidden byte, and a path that is neither empty nor, decoded, over the
    // length limits.
    bool IsAcceptable() const;

    // The value of the first header line that begins with name (a case-insensitive prefix match),
    // after the ':', blanks and tabs behind the name; "" when none matches or name is empty.
    std::string_view Header(std::string_view name) const;
    // Always true. The caller's value stays when the header is absent or does not start with a digit;
    // a number beyond 64 bits reads as the largest one.
    bool ContentLength(uint64_t& inOut) const;
    std::string_view ContentType() const { return Header("Content-Type"); }
    // The boundary of a multipart/form-data Content-Type, quotes and all; it may be empty.
    bool MultipartBoundary(std::string_view& boundary) const;
    // The filename parameter of Content-Disposition (value, without its quotes) and its part after
    // the last '\' or '/'. False when there is none or the bare name is empty.
    bool UploadFileName(std::string_view& value, std::string_view& bareName) const;
    // The user name and password of a Basic Authorization header, each cut to 255 characters.
    bool BasicCredentials(std::string& user, std::string& password) const;

private:
    std::string m_rawHeader;
    // The block with each run of line ends and leading white space collapsed to one NUL; every view
    // below points into it.
    std::string m_lines;
    std::string_view m_methodText;
    std::string_view m_path;
    std::string_view m_query;
    std::vector<std::string_view> m_headerLines;
    int m_method = kMethodUnknown;
    bool m_malformed = false;
};

}  // namespace sarvo
