#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct CommunityRecordEntry {
    std::string id;
    std::vector<uint8_t> data;
};

// Every record in the order they were created, read in one pass. An entry whose name is too long or
// whose data has the wrong size is deleted on the way and left out.
std::vector<CommunityRecordEntry> ListCommunityRecords(CommunityList list);
bool ReadCommunityRecord(CommunityList list, std::string_view id, std::vector<uint8_t>& data);
bool WriteCommunityRecord(CommunityList list, std::string_view id, const std::vector<uint8_t>& data);
// Reads the stored record, lets change edit its bytes, and writes it back in one transaction, so that
// an edit made elsewhere meanwhile is not overwritten by a stale copy. Fails, writing nothing, when the
// record does not exist (or has the wrong size).
bool UpdateCommunityRecord(CommunityList list, std::string_view id,
                           const std::function<void(std::vector<uint8_t>&)>& change);
bool RemoveCommunityRecord(CommunityList list, std::string_view id);

}  // namespace sarvo
