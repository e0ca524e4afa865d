#include "common/Url.h"

#include "common/Format.h"

namespace sarvo {
namespace {

constexpr uint16_t kDefaultHttpPort = 80;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

const char* UrlDecode(TextHolder& holder, std::string_view text) {
    if (text.empty())
        return holder.Assign(std::string());
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
            continue;
        }
        decoded.push_back(text[i]);
    }
    Utf8ToAnsi ansi(decoded);
    return holder.Assign(ansi.Str());
}

const char* UrlEncodeForLink(TextHolder& holder, std::string_view text) {
    if (text.empty())
        return holder.Assign(std::string());
    std::string escaped;
    escaped.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
            case ' ': escaped += "%20"; break;
            case '#': escaped += "%23"; break;
            case '%': escaped += "%25"; break;
            default: escaped.push_back(c);
        }
    }
    AnsiToUtf8 utf8(escaped);
    return holder.Assign(utf8.Str());
}

std::string FormatServerUrl(uint32_t addressNetworkOrder, uint16_t port) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
    if (port == kDefaultHttpPort)
        return Format("http://%u.%u.%u.%u/", bytes[0], bytes[1], bytes[2], bytes[3]);
    return Format("http://%u.%u.%u.%u:%u/", bytes[0], bytes[1], bytes[2], bytes[3], port);
}

}  // namespace sarvo
