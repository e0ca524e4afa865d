#pragma once

#include <string_view>

// The virtual folders of the visitor services. They share the URL space with the published folders,
// so no folder may take one of these names.
namespace sarvo {

inline constexpr std::string_view kGuestbookName = "Guestbook";
inline constexpr std::string_view kWebchatName = "Webchat";
inline constexpr std::string_view kWebCommunityName = "WebCommunity";

bool IsGuestbookName(std::string_view text);
bool IsWebchatName(std::string_view text);
bool IsWebCommunityName(std::string_view text);
bool IsServiceName(std::string_view text);

}  // namespace sarvo
