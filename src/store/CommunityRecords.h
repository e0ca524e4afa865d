#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The fixed-size records of the web community: the hosts this server logs in to, and the members
// that log in to this server. Each is a binary value named by the member's id.
namespace sarvo {

enum class CommunityList { Logins, Clients };

inline constexpr size_t kCommunityIdMax = 64;
inline constexpr size_t kCommunityLoginRecordSize = 2064;
inline constexpr size_t kCommunityClientRecordSize = 784;

size_t CommunityRecordSize(CommunityList list);

// An entry whose name is too long or whose data has the wrong size is deleted when met, and the same
// index is read again.
bool EnumCommunityRecord(CommunityList list, int index, std::string& id, std::vector<uint8_t>& data);
bool ReadCommunityRecord(CommunityList list, std::string_view id, std::vector<uint8_t>& data);
bool WriteCommunityRecord(CommunityList list, std::string_view id, const std::vector<uint8_t>& data);
bool RemoveCommunityRecord(CommunityList list, std::string_view id);

}  // namespace sarvo
