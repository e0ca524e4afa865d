#include "store/CommunityRecords.h"

#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

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

std::vector<CommunityRecordEntry> ListCommunityRecords(CommunityList list) {
    std::vector<CommunityRecordEntry> records;
    std::vector<RegistryOperation> removals;
    for (RegistryValue& value : ListValues(Hive::CurrentUser, ListKey(list))) {
        if (IsWellFormed(list, value)) {
            records.push_back({std::move(value.name), std::move(value.data)});
            continue;
        }
        RegistryOperation removal{RegistryOperation::Kind::RemoveValue, Hive::CurrentUser, ListKey(list), {}};
        removal.value.name = std::move(value.name);
        removals.push_back(std::move(removal));
    }
    if (!removals.empty())
        ApplyRegistryBatch(removals);
    return records;
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

bool UpdateCommunityRecord(CommunityList list, std::string_view id,
                           const std::function<void(std::vector<uint8_t>&)>& change) {
    return ModifyValue(Hive::CurrentUser, ListKey(list), id, [&](RegistryValue& value) {
        if (!IsWellFormed(list, value))
            return false;
        change(value.data);
        return value.data.size() == CommunityRecordSize(list);
    });
}

bool RemoveCommunityRecord(CommunityList list, std::string_view id) {
    return RemoveValue(Hive::CurrentUser, ListKey(list), id);
}

}  // namespace sarvo
