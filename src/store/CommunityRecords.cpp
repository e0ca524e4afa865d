#include "store/CommunityRecords.h"

#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

// Every removal shortens the list by one, so this many rounds always reach its end.
constexpr int kMaxRemovalsPerEnumeration = 1 << 20;

const char* ListKey(CommunityList list) {
    return list == CommunityList::Logins ? kWebCommLoginKey : kWebCommClientsKey;
}

bool IsWellFormed(CommunityList list, const RegistryValue& value) {
    return value.name.size() <= kCommunityIdMax && value.data.size() == CommunityRecordSize(list);
}

}  // namespace

size_t CommunityRecordSize(CommunityList list) {
    return list == CommunityList::Logins ? kCommunityLoginRecordSize : kCommunityClientRecordSize;
}

bool EnumCommunityRecord(CommunityList list, int index, std::string& id, std::vector<uint8_t>& data) {
    RegistryValue value;
    for (int removals = 0; removals < kMaxRemovalsPerEnumeration; ++removals) {
        if (!EnumValue(Hive::CurrentUser, ListKey(list), index, value))
            return false;
        if (IsWellFormed(list, value)) {
            id = value.name;
            data = std::move(value.data);
            return true;
        }
        if (!RemoveValue(Hive::CurrentUser, ListKey(list), value.name))
            return false;
    }
    return false;
}

bool ReadCommunityRecord(CommunityList list, std::string_view id, std::vector<uint8_t>& data) {
    RegistryValue value;
    if (!ReadValue(Hive::CurrentUser, ListKey(list), id, value) || !IsWellFormed(list, value))
        return false;
    data = std::move(value.data);
    return true;
}

bool WriteCommunityRecord(CommunityList list, std::string_view id, const std::vector<uint8_t>& data) {
    if (id.empty() || id.size() > kCommunityIdMax || data.size() != CommunityRecordSize(list))
        return false;
    return WriteBlob(Hive::CurrentUser, ListKey(list), id, data.data(), data.size());
}

bool RemoveCommunityRecord(CommunityList list, std::string_view id) {
    return RemoveValue(Hive::CurrentUser, ListKey(list), id);
}

}  // namespace sarvo
