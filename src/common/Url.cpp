#include "common/Url.h"

#include "common/Format.h"

namespace sarvo {
namespace {

constexpr uint16_t kDefaultHttpPort = 80;

bool IsUnreservedOrSlash(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char* UrlDecode(TextHolder& holder, std::string_view text) {
    if (text.empty())
        return holder.Assign(std::string());
    // Decoding never lengthens the text, so it is written in place of a copy.
    std::string decoded(text);
    size_t length = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            decoded[length++] =
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
            continue;
        }
        decoded[length++] = text[i];
    }
    decoded.resize(length);
    Utf8ToAnsi ansi(decoded);
    return holder.Assign(ansi.Str());
}

void AppendLinkEncoded(std::string& out, std::string_view utf8Text) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    for (char c : utf8Text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreservedOrSlash(byte)) {
            out.push_back(c);
            continue;
        }
        out.push_back('%');
        out.push_back(kHexDigits[byte >> 4]);
        out.push_back(kHexDigits[byte & 0xF]);
    }
}

const char* UrlEncodeForLink(TextHolder& holder, std::string_view text) {
    if (text.empty())
        return holder.Assign(std::string());
    AnsiToUtf8 utf8(text);
    std::string escaped;
    escaped.reserve(text.size() * 3);
    AppendLinkEncoded(escaped, utf8.Str());
    return holder.Assign(escaped);
}

std::string FormatSiteUrl(std::string_view serverUrl, std::string_view ansiName, SiteUrlKind kind) {
    std::string url(serverUrl);
    AppendLinkEncoded(url, AnsiToUtf8(ansiName).Str());
    if (kind == SiteUrlKind::Folder)
        url += '/';
    return url;
}

std::string FormatServerUrl(uint32_t addressNetworkOrder, uint16_t port) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
    if (port == kDefaultHttpPort)
        return Format("http://%u.%u.%u.%u/", bytes[0], bytes[1], bytes[2], bytes[3]);
    return Format("http://%u.%u.%u.%u:%u/", bytes[0], bytes[1], bytes[2], bytes[3], port);
}

}  // namespace sarvo
