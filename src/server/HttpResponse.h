#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/FileTime.h"

// An ordinary answer of the server, composed in memory (status line, header lines, body) and then sent
// by SendResponse. Handlers call the composition operations in a fixed order: BeginResponse, optional
// header lines, SetConnection, SetContentType, the body, FinishHeaders. Once FinishHeaders has run,
// nothing more is added, so the Content-Length it wrote stays true.
//
// A response belongs to one connection thread; nothing in it is shared.
namespace sarvo {

// Both buffers grow in steps of this size, the new space zeroed.
inline constexpr size_t kResponseBufferStep = 8192;

// Every page the server generates is UTF-8 and says so in its header as well as in its head, since
// clients that do not read the page's meta element fall back to Latin-1.
inline constexpr char kHtmlUtf8ContentType[] = "text/html; charset=utf-8";

// The realm every password challenge names.
inline constexpr char kAuthenticateChallenge[] = "Basic realm=\"Sarvo\"";

// A body that is a stretch of an open file, which a sender may hand to the kernel as it is instead of
// copying it through ReadBody.
struct FileBodyStretch {
    int descriptor = -1;
    uint64_t offset = 0;
    uint64_t remaining = 0;
};

class HttpResponse {
public:
    HttpResponse() = default;
    virtual ~HttpResponse();
    HttpResponse(const HttpResponse&) = delete;
    HttpResponse& operator=(const HttpResponse&) = delete;

    // Starts over: the status line ("HTTP/1.1 %u\r\n" without a reason for codes outside the known
    // table), then Date (now) and Server.
    void BeginResponse(unsigned status);

    // "name: value\r\n".
    void AddHeader(std::string_view name, std::string_view value);
    // A complete line that carries its own CR LF; an empty text adds nothing.
    void AddHeaderLine(std::string_view text);
    // An HTTP date: the current UTC time, or the given one.
    void AddDateHeader(std::string_view name);
    void AddDateHeader(std::string_view name, const SystemTime& time);
    void AddFileTimeHeader(std::string_view name, FileTime time);
    // "Expires" at the current UTC time plus the given span.
    void AddExpires(int hours, int minutes);
    void SetConnection(std::string_view value = "close");
    void SetContentType(std::string_view type = kHtmlUtf8ContentType);

    // Empties the body and starts it with the shared page head, the title (HTML-escaped, since it may
    // be a folder's name or the owner's text) and extraHead, up to the
    // opening BODY tag with the given background colour. The caller closes the page.
    void BeginHtmlPage(std::string_view title, std::string_view bgColor, std::string_view extraHead = {});
    // The body may hold any bytes; an empty piece adds nothing.
    void AppendBody(const char* data, size_t length);
    void AppendText(std::string_view text);

    // Ends the header with Content-Length (from BodyLength) and the blank line. Runs once. A 304
    // leaves the length out: its body is empty, but a length would claim to describe the file.
    enum class Length { Announce, Omit };
    void FinishHeaders(Length length = Length::Announce);
    bool HeadersFinished() const { return m_headersFinished; }

    virtual bool HasHeaders() const;
    virtual uint64_t BodyLength() const;
    // Copies up to n body bytes from the body read position onwards; returns the count.
    virtual size_t ReadBody(char* dst, size_t n);

    // When the body still to send is a stretch of an open file, describes it and returns true.
    virtual bool FileBody(FileBodyStretch& out) const;
    // Counts n bytes of that stretch as sent by other means than ReadBody.
    virtual void SkipFileBody(uint64_t n);

    // Hands out the header, then the body: nothing before FinishHeaders. The body is read only once
    // the header is exhausted. Returns the count.
    size_t ReadResponse(char* dst, size_t n);
    // Both 0 before FinishHeaders.
    size_t HeaderLength() const;
    uint64_t TotalLength() const;

    std::string_view HeaderText() const;
    // The in-memory body.
    std::string_view BodyText() const;

private:
    // A text buffer that always keeps a NUL after its last byte. A growth that fails drops the text
    // that did not fit, so the response stays consistent but short.
    struct Buffer {
        char* data = nullptr;
        size_t capacity = 0;
        size_t length = 0;

        bool Append(const char* text, size_t n);
        void Clear();
        std::string_view View() const { return {data ? data : "", length}; }
    };

    void AppendHeader(std::string_view text);

    Buffer m_header;
    Buffer m_body;
    size_t m_headerRead = 0;
    size_t m_bodyRead = 0;
    bool m_headersFinished = false;
};

// 401 with the password challenge and Content-Length: 0.
void ComposeUnauthorized(HttpResponse& response);

}  // namespace sarvo
