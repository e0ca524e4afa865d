#include "ui/UrlText.h"

namespace sarvo::ui {

std::string EscapeUrlForField(std::string_view url) {
    std::string escaped;
    escaped.reserve(url.size());
    for (char c : url) {
        if (c == ' ')
            escaped += "%20";
        else if (c == '#')
            escaped += "%23";
        else if (c == '%')
            escaped += "%25";
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace sarvo::ui
