#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "services/CommunityStore.h"

// The owner's side of the web community, shared by the desktop dialogs and sarvo-cli: the checks the
// dialogs make live here, so that every front end refuses the same things. Each operation returns ""
// when done, else the reason it refused or failed.
namespace sarvo {

// The owner creates member IDs of this many characters at least (at most kCommunityIdMax).
inline constexpr size_t kNewMemberIdMin = 3;
// A host record needs an ID and a login URL of at least these lengths.
inline constexpr size_t kHostIdMin = 2;
inline constexpr size_t kHostLoginUrlMin = 12;

// Host side.
std::string AddCommunityMemberId(std::string_view id);
std::string RemoveCommunityMemberIds(const std::vector<std::string>& ids);

// Member side. The page choices are what the host may link to: "" for the site's root, each published
// folder's name and the chat and community folders followed by '/', then each published file's name.
// The icon choices are the published files whose content type is an image's.
std::vector<std::string> CommunityPageChoices();
std::vector<std::string> CommunityIconChoices();

// The owner's fields of a host record (ID, member name, icon, page, member description, login URL);
// texts are trimmed first. Add refuses an ID that already has a record; update keeps the record's
// Host fields and Last Login as the logins stored them.
std::string AddCommunityHostRecord(CommunityHost host);
std::string UpdateCommunityHostRecord(CommunityHost host);
std::string RemoveCommunityHostIds(const std::vector<std::string>& ids);

}  // namespace sarvo
