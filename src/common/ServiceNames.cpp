#include "common/ServiceNames.h"

#include "common/Text.h"

namespace sarvo {

bool IsGuestbookName(std::string_view text) { return EqualsIgnoreCase(text, kGuestbookName); }

bool IsWebchatName(std::string_view text) { return EqualsIgnoreCase(text, kWebchatName); }

bool IsWebCommunityName(std::string_view text) { return EqualsIgnoreCase(text, kWebCommunityName); }

bool IsServiceName(std::string_view text) {
    return IsGuestbookName(text) || IsWebchatName(text) || IsWebCommunityName(text);
}

}  // namespace sarvo
