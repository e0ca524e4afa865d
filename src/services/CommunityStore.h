#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileTime.h"

// The two kinds of community record in their unpacked form, and their storage under the member id:
// the members that log in to this server as host, and the hosts this server logs in to as member.
namespace sarvo {

// Each text field of a record is this many bytes, zero-terminated inside it.
inline constexpr size_t kCommunityTextField = 256;
inline constexpr size_t kCommunityTextMax = kCommunityTextField - 1;

struct CommunityMember {
    std::string id;
    std::string name;
    std::string url;
    std::string description;
    SystemTime lastLogin;  // all zero before the first accepted login
};

struct CommunityHost {
    std::string id;
    std::string memberName;
    std::string icon;
    std::string page;
    std::string memberDescription;
    std::string loginUrl;
    std::string hostName;
    std::string hostDescription;
    std::string hostPage;
    SystemTime lastLogin;
};

std::vector<CommunityMember> ListCommunityMembers();
std::optional<CommunityMember> FindCommunityMember(std::string_view id);
bool StoreCommunityMember(const CommunityMember& member);
bool RemoveCommunityMember(std::string_view id);
// Writes the fields a login brings into the member's record as it is stored now; false when the
// member no longer exists.
bool StoreMemberLogin(const CommunityMember& login);

std::vector<CommunityHost> ListCommunityHosts();
std::optional<CommunityHost> FindCommunityHost(std::string_view id);
bool StoreCommunityHost(const CommunityHost& host);
bool RemoveCommunityHost(std::string_view id);
// Writes the owner's fields (member name, icon, page, member description, login URL) into the record
// as it is stored now, keeping what logins stored; false when the record does not exist.
bool StoreHostOwnerFields(const CommunityHost& host);
// Writes the Host fields and Last Login of a login's outcome into the record as it is stored now, so
// that an owner's edit of the other fields meanwhile is kept; false when the record is gone.
bool StoreHostLoginOutcome(const CommunityHost& outcome);

// "%04u-%02u-%02u %02u:%02u:%02u", the way the owner's lists show Last Login.
std::string FormatLastLogin(const SystemTime& time);

}  // namespace sarvo
