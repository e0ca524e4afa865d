#include "services/CommunityStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/Format.h"
#include "store/CommunityRecords.h"

namespace sarvo {
namespace {

constexpr size_t kSystemTimeBytes = 16;
static_assert(3 * kCommunityTextField + kSystemTimeBytes == kCommunityClientRecordSize);
static_assert(8 * kCommunityTextField + kSystemTimeBytes == kCommunityLoginRecordSize);

// The member record: Name, URL, Description, then Last Login.
constexpr size_t kMemberNameAt = 0;
constexpr size_t kMemberUrlAt = kCommunityTextField;
constexpr size_t kMemberDescriptionAt = 2 * kCommunityTextField;
constexpr size_t kMemberLastLoginAt = 3 * kCommunityTextField;

// The host record: Member Name, Icon, Page, Member Description, Login URL, Host Name, Host
// Description, Host Page, then Last Login.
constexpr size_t kHostMemberNameAt = 0;
constexpr size_t kHostIconAt = 1 * kCommunityTextField;
constexpr size_t kHostPageAt = 2 * kCommunityTextField;
constexpr size_t kHostMemberDescriptionAt = 3 * kCommunityTextField;
constexpr size_t kHostLoginUrlAt = 4 * kCommunityTextField;
constexpr size_t kHostHostNameAt = 5 * kCommunityTextField;
constexpr size_t kHostHostDescriptionAt = 6 * kCommunityTextField;
constexpr size_t kHostHostPageAt = 7 * kCommunityTextField;
constexpr size_t kHostLastLoginAt = 8 * kCommunityTextField;

std::string ReadField(const std::vector<uint8_t>& data, size_t at) {
    const char* field = reinterpret_cast<const char*>(data.data() + at);
    return std::string(field, strnlen(field, kCommunityTextField));
}

// Longer texts are cut so that the terminating zero always fits.
void WriteField(std::vector<uint8_t>& data, size_t at, std::string_view text) {
    std::memset(data.data() + at, 0, kCommunityTextField);
    std::memcpy(data.data() + at, text.data(), std::min(text.size(), kCommunityTextMax));
}

// Eight little-endian u16 in the order of the structure.
SystemTime ReadTime(const std::vector<uint8_t>& data, size_t at) {
    uint16_t parts[8];
    for (size_t i = 0; i < 8; ++i)
        parts[i] = static_cast<uint16_t>(data[at + 2 * i] | data[at + 2 * i + 1] << 8);
    return {parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], parts[7]};
}

void WriteTime(std::vector<uint8_t>& data, size_t at, const SystemTime& time) {
    const uint16_t parts[8] = {time.year, time.month,  time.dayOfWeek, time.day,
                               time.hour, time.minute, time.second,    time.milliseconds};
    for (size_t i = 0; i < 8; ++i) {
        data[at + 2 * i] = static_cast<uint8_t>(parts[i]);
        data[at + 2 * i + 1] = static_cast<uint8_t>(parts[i] >> 8);
    }
}

CommunityMember UnpackMember(std::string id, const std::vector<uint8_t>& data) {
    return {std::move(id), ReadField(data, kMemberNameAt), ReadField(data, kMemberUrlAt),
            ReadField(data, kMemberDescriptionAt), ReadTime(data, kMemberLastLoginAt)};
}

void PackMemberLogin(std::vector<uint8_t>& data, const CommunityMember& member) {
    WriteField(data, kMemberNameAt, member.name);
    WriteField(data, kMemberUrlAt, member.url);
    WriteField(data, kMemberDescriptionAt, member.description);
    WriteTime(data, kMemberLastLoginAt, member.lastLogin);
}

CommunityHost UnpackHost(std::string id, const std::vector<uint8_t>& data) {
    CommunityHost host;
    host.id = std::move(id);
    host.memberName = ReadField(data, kHostMemberNameAt);
    host.icon = ReadField(data, kHostIconAt);
    host.page = ReadField(data, kHostPageAt);
    host.memberDescription = ReadField(data, kHostMemberDescriptionAt);
    host.loginUrl = ReadField(data, kHostLoginUrlAt);
    host.hostName = ReadField(data, kHostHostNameAt);
    host.hostDescription = ReadField(data, kHostHostDescriptionAt);
    host.hostPage = ReadField(data, kHostHostPageAt);
    host.lastLogin = ReadTime(data, kHostLastLoginAt);
    return host;
}

// The fields only the owner changes.
void PackHostOwnerFields(std::vector<uint8_t>& data, const CommunityHost& host) {
    WriteField(data, kHostMemberNameAt, host.memberName);
    WriteField(data, kHostIconAt, host.icon);
    WriteField(data, kHostPageAt, host.page);
    WriteField(data, kHostMemberDescriptionAt, host.memberDescription);
    WriteField(data, kHostLoginUrlAt, host.loginUrl);
}

// The fields only logins change.
void PackHostOutcome(std::vector<uint8_t>& data, const CommunityHost& host) {
    WriteField(data, kHostHostNameAt, host.hostName);
    WriteField(data, kHostHostDescriptionAt, host.hostDescription);
    WriteField(data, kHostHostPageAt, host.hostPage);
    WriteTime(data, kHostLastLoginAt, host.lastLogin);
}

}  // namespace

std::vector<CommunityMember> ListCommunityMembers() {
    std::vector<CommunityMember> members;
    for (CommunityRecordEntry& record : ListCommunityRecords(CommunityList::Clients))
        members.push_back(UnpackMember(std::move(record.id), record.data));
    return members;
}

std::optional<CommunityMember> FindCommunityMember(std::string_view id) {
    std::vector<uint8_t> data;
    if (!ReadCommunityRecord(CommunityList::Clients, id, data))
        return std::nullopt;
    return UnpackMember(std::string(id), data);
}

bool StoreCommunityMember(const CommunityMember& member) {
    std::vector<uint8_t> data(kCommunityClientRecordSize, 0);
    PackMemberLogin(data, member);
    return WriteCommunityRecord(CommunityList::Clients, member.id, data);
}

bool RemoveCommunityMember(std::string_view id) {
    return RemoveCommunityRecord(CommunityList::Clients, id);
}

bool StoreMemberLogin(const CommunityMember& login) {
    return UpdateCommunityRecord(CommunityList::Clients, login.id,
                                 [&](std::vector<uint8_t>& data) { PackMemberLogin(data, login); });
}

std::vector<CommunityHost> ListCommunityHosts() {
    std::vector<CommunityHost> hosts;
    for (CommunityRecordEntry& record : ListCommunityRecords(CommunityList::Logins))
        hosts.push_back(UnpackHost(std::move(record.id), record.data));
    return hosts;
}

std::optional<CommunityHost> FindCommunityHost(std::string_view id) {
    std::vector<uint8_t> data;
    if (!ReadCommunityRecord(CommunityList::Logins, id, data))
        return std::nullopt;
    return UnpackHost(std::string(id), data);
}

bool StoreCommunityHost(const CommunityHost& host) {
    std::vector<uint8_t> data(kCommunityLoginRecordSize, 0);
    PackHostOwnerFields(data, host);
    PackHostOutcome(data, host);
    return WriteCommunityRecord(CommunityList::Logins, host.id, data);
}

bool RemoveCommunityHost(std::string_view id) {
    return RemoveCommunityRecord(CommunityList::Logins, id);
}

bool StoreHostOwnerFields(const CommunityHost& host) {
    return UpdateCommunityRecord(CommunityList::Logins, host.id,
                                 [&](std::vector<uint8_t>& data) { PackHostOwnerFields(data, host); });
}

bool StoreHostLoginOutcome(const CommunityHost& outcome) {
    return UpdateCommunityRecord(CommunityList::Logins, outcome.id,
                                 [&](std::vector<uint8_t>& data) { PackHostOutcome(data, outcome); });
}

std::string FormatLastLogin(const SystemTime& time) {
    return Format("%04u-%02u-%02u %02u:%02u:%02u", unsigned{time.year}, unsigned{time.month},
                  unsigned{time.day}, unsigned{time.hour}, unsigned{time.minute}, unsigned{time.second});
}

}  // namespace sarvo
