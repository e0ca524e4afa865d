#include "server/HttpRequest.h"

#include <array>
#include <limits>

#include "common/Text.h"
#include "common/TextHolder.h"
#include "common/Url.h"

namespace sarvo {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
// Longer method tokens are never compared; no known method comes near this.
constexpr size_t kMaxMethodText = 30;
constexpr size_t kMaxCredentialText = 255;

struct MethodName {
    std::string_view text;
    int code;
};

constexpr std::array<MethodName, 7> kMethodNames{{
    {"GET", kMethodGet},
    {"POST", kMethodPost},
    {"HEAD", kMethodHead},
    {"OPTIONS", kMethodOptions},
    {"DELETE", kMethodDelete},
    {"PUT", kMethodPut},
    {"TRACE", kMethodTrace},
}};

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

bool IsLineEndOrBlank(char c) {
    return IsLineEnd(c) || IsBlankOrTab(c);
}

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

// A control byte other than the line ends and TAB, DEL, or 0xFF: never part of a request header.
// Other bytes above 127 pass, so that a browser that sends a name in its code page is still served.
bool IsMalformedByte(unsigned char c) {
    if (c < 32)
        return c != '\r' && c != '\n' && c != '\t';
    return c == 127 || c == 255;
}

std::string_view SkipWhile(std::string_view text, bool (*skip)(char)) {
    size_t used = 0;
    while (used < text.size() && skip(text[used]))
        ++used;
    return text.substr(used);
}

// The text up to the first character for which stop holds (all of it when there is none).
std::string_view TakeUntil(std::string_view text, bool (*stop)(char)) {
    size_t used = 0;
    while (used < text.size() && !stop(text[used]))
        ++used;
    return text.substr(0, used);
}

int MethodCode(std::string_view text) {
    if (text.size() > kMaxMethodText)
        return kMethodUnknown;
    for (const MethodName& method : kMethodNames) {
        if (EqualsIgnoreCase(text, method.text))
            return method.code;
    }
    return kMethodUnknown;
}

// The value of one Base64 character, -1 for a character outside the alphabet (padding included).
int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Decodes whole groups of four; a partial group at the end is ignored. '=' may stand only at the end
// of a group ("xx==" or "xxx="). False for any other character.
bool DecodeBase64(std::string_view text, std::string& out) {
    out.clear();
    for (size_t group = 0; group + 4 <= text.size(); group += 4) {
        int values[4];
        int padding = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[group + static_cast<size_t>(i)];
            if (c == '=') {
                if (i < 2)
                    return false;
                ++padding;
                values[i] = 0;
                continue;
            }
            if (padding > 0)
                return false;
            values[i] = Base64Value(c);
            if (values[i] < 0)
                return false;
        }
        const uint32_t bits = (static_cast<uint32_t>(values[0]) << 18) |
                              (static_cast<uint32_t>(values[1]) << 12) |
                              (static_cast<uint32_t>(values[2]) << 6) | static_cast<uint32_t>(values[3]);
        out.push_back(static_cast<char>((bits >> 16) & 0xFF));
        if (padding < 2)
            out.push_back(static_cast<char>((bits >> 8) & 0xFF));
        if (padding < 1)
            out.push_back(static_cast<char>(bits & 0xFF));
    }
    return true;
}

}  // namespace

size_t FindHeaderEnd(std::string_view data) {
    const size_t found = data.find(kHeaderEnd);
    return found == std::string_view::npos ? found : found + kHeaderEnd.size();
}

bool HasForbiddenPartialHeaderByte(std::string_view data) {
    for (char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 127 || (byte < 32 && c != '\r' && c != '\n' && c != '\t'))
            return true;
    }
    return false;
}

void HttpRequest::Reset() {
    m_rawHeader.clear();
    m_lines.clear();
    m_methodText = "";
    m_path = "";
    m_query = "";
    m_headerLines.clear();
    m_method = kMethodUnknown;
    m_malformed = false;
}

void HttpRequest::Parse(std::string_view block) {
    Reset();
    for (char c : block) {
        if (IsMalformedByte(static_cast<unsigned char>(c))) {
            m_malformed = true;
            return;
        }
    }
    if (block.empty())
        return;
    m_rawHeader.assign(block);

    // Each run of line ends, with the white space that starts the next line, becomes one NUL, so no
    // line starts with white space and empty lines vanish. Folded header lines thus read as lines
    // of their own.
    m_lines.reserve(block.size());
    std::string_view rest = SkipWhile(block, IsLineEndOrBlank);
    while (!rest.empty()) {
        const std::string_view line = TakeUntil(rest, IsLineEnd);
        m_lines.append(line);
        rest.remove_prefix(line.size());
        if (rest.empty())
            break;
        m_lines.push_back('\0');
        rest = SkipWhile(rest, IsLineEndOrBlank);
    }

    // m_lines no longer changes, so views into it stay valid.
    std::string_view lines = m_lines;
    std::string_view requestLine = TakeUntil(lines, [](char c) { return c == '\0'; });
    lines.remove_prefix(requestLine.size() < lines.size() ? requestLine.size() + 1 : lines.size());
    while (!lines.empty()) {
        std::string_view line = TakeUntil(lines, [](char c) { return c == '\0'; });
        if (!line.empty())
            m_headerLines.push_back(line);
        lines.remove_prefix(line.size() < lines.size() ? line.size() + 1 : lines.size());
    }

    m_methodText = TakeUntil(requestLine, IsBlankOrTab);
    std::string_view target = SkipWhile(requestLine.substr(m_methodText.size()), IsBlankOrTab);
    m_path = TakeUntil(target, [](char c) { return IsBlankOrTab(c) || c == '?'; });
    target.remove_prefix(m_path.size());
    if (!target.empty() && target.front() == '?') {
        target = SkipWhile(target.substr(1), IsBlankOrTab);
        m_query = TakeUntil(target, IsBlankOrTab);
    }
    m_method = MethodCode(m_methodText);
}

bool HttpRequest::IsAcceptable() const {
    if (m_method == kMethodUnknown || m_malformed || m_path.empty())
        return false;
    TextHolder decoded;
    const std::string_view segment = SkipWhile(UrlDecode(decoded, m_path), IsPathSeparator);
    const std::string_view first = TakeUntil(segment, IsPathSeparator);
    return first.size() <= kMaxFirstPathSegment && segment.size() - first.size() <= kMaxPathRest;
}

std::string_view HttpRequest::Header(std::string_view name) const {
    if (name.empty())
        return "";
    for (std::string_view line : m_headerLines) {
        if (StartsWithIgnoreCase(line, name))
            return SkipWhile(line.substr(name.size()), [](char c) { return c == ':' || IsBlankOrTab(c); });
    }
    return "";
}

bool HttpRequest::ContentLength(uint64_t& inOut) const {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    const std::string_view value = Header("Content-Length");
    if (value.empty() || value.front() < '0' || value.front() > '9')
        return true;
    uint64_t length = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (length > (kMax - digit) / 10) {
            length = kMax;
            break;
        }
        length = length * 10 + digit;
    }
    inOut = length;
    return true;
}

bool HttpRequest::MultipartBoundary(std::string_view& boundary) const {
    constexpr std::string_view kFormData = "multipart/form-data";
    constexpr std::string_view kBoundary = "boundary";
    std::string_view type = ContentType();
    if (!StartsWithIgnoreCase(type, kFormData))
        return false;
    type = SkipWhile(type.substr(kFormData.size()),
                     [](char c) { return c == ';' || c == ',' || IsBlankOrTab(c); });
    if (!StartsWithIgnoreCase(type, kBoundary))
        return false;
    type = SkipWhile(type.substr(kBoundary.size()), IsBlankOrTab);
    if (type.empty() || type.front() != '=')
        return false;
    boundary = TakeUntil(type.substr(1), [](char c) { return c == ';' || c == ',' || IsBlankOrTab(c); });
    return true;
}

bool HttpRequest::UploadFileName(std::string_view& value, std::string_view& bareName) const {
    constexpr std::string_view kFileName = "filename";
    std::string_view disposition = Header("Content-Disposition");
    while (!StartsWithIgnoreCase(disposition, kFileName)) {
        const size_t semicolon = disposition.find(';');
        if (semicolon == std::string_view::npos)
            return false;
        disposition =
            SkipWhile(disposition.substr(semicolon), [](char c) { return c == ';' || IsBlankOrTab(c); });
    }
    disposition = SkipWhile(disposition.substr(kFileName.size()), IsBlankOrTab);
    if (disposition.empty() || disposition.front() != '=')
        return false;
    disposition = SkipWhile(disposition, [](char c) { return c == '=' || IsBlankOrTab(c); });

    std::string_view found;
    if (!disposition.empty() && (disposition.front() == '"' || disposition.front() == '\'')) {
        const char quote = disposition.front();
        disposition.remove_prefix(1);
        found = disposition.substr(0, disposition.find(quote));
    } else {
        found = TakeUntil(disposition, [](char c) { return c == ';'; });
    }
    const size_t lastSeparator = found.find_last_of("\\/");
    const std::string_view bare =
        lastSeparator == std::string_view::npos ? found : found.substr(lastSeparator + 1);
    if (bare.empty())
        return false;
    value = found;
    bareName = bare;
    return true;
}

bool HttpRequest::BasicCredentials(std::string& user, std::string& password) const {
    constexpr std::string_view kBasic = "Basic";
    std::string_view authorization = Header("Authorization");
    if (authorization.empty() || !StartsWithIgnoreCase(authorization, kBasic))
        return false;
    authorization = SkipWhile(authorization.substr(kBasic.size()), IsBlankOrTab);
    std::string decoded;
    if (!DecodeBase64(authorization, decoded))
        return false;
    // A NUL would end the name or the password early wherever they are handed on as C strings, so
    // text that holds one is no credential.
    if (decoded.find('\0') != std::string::npos)
        return false;
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos || colon > kMaxCredentialText)
        return false;
    user.assign(decoded, 0, colon);
    password.assign(decoded, colon + 1, kMaxCredentialText);
    return true;
}

}  // namespace sarvo
