#include "server/AccessControl.h"

#include <cstring>
#include <mutex>

#include "store/SiteSettings.h"

namespace sarvo {
namespace {

// One lock for both lists: additions are rare (a refused client, an owner's click), so there is
// nothing to gain from two.
std::mutex g_listLock;

IpPattern AddressBytes(uint32_t addressNetworkOrder) {
    IpPattern bytes{};
    std::memcpy(bytes.data(), &addressNetworkOrder, kIpEntrySize);
    return bytes;
}

size_t WholeEntries(const std::vector<uint8_t>& list) {
    return list.size() / kIpEntrySize;
}

bool MatchesAnyPattern(const std::vector<uint8_t>& list, uint32_t addressNetworkOrder) {
    for (size_t entry = 0; entry < WholeEntries(list); ++entry) {
        IpPattern pattern{};
        std::memcpy(pattern.data(), list.data() + entry * kIpEntrySize, kIpEntrySize);
        if (MatchesIpPattern(pattern, addressNetworkOrder))
            return true;
    }
    return false;
}

bool HoldsEntry(const std::vector<uint8_t>& list, const IpPattern& entry) {
    for (size_t index = 0; index < WholeEntries(list); ++index) {
        if (std::memcmp(list.data() + index * kIpEntrySize, entry.data(), kIpEntrySize) == 0)
            return true;
    }
    return false;
}

// The store offers no read-and-write transaction, so the lock is what makes the read, the check and
// the write one step for every thread of this process.
bool AddEntry(const IpPattern& entry, std::vector<uint8_t> (*read)(),
              bool (*write)(const std::vector<uint8_t>&)) {
    std::lock_guard<std::mutex> hold(g_listLock);
    std::vector<uint8_t> list = read();
    if (HoldsEntry(list, entry))
        return true;
    list.resize(WholeEntries(list) * kIpEntrySize);
    list.insert(list.end(), entry.begin(), entry.end());
    return write(list);
}

}  // namespace

bool MatchesIpPattern(const IpPattern& pattern, uint32_t addressNetworkOrder) {
    const IpPattern address = AddressBytes(addressNetworkOrder);
    for (size_t index = 0; index < kIpEntrySize; ++index) {
        if (pattern[index] != kIpPatternAnyByte && pattern[index] != address[index])
            return false;
    }
    return true;
}

bool IsBlockedBy(uint32_t filterType, const std::vector<uint8_t>& filterList, bool useAutoBlock,
                 const std::vector<uint8_t>& autoBlockList, uint32_t addressNetworkOrder) {
    if ((filterType == kIpFilterAllowedOnly || filterType == kIpFilterForbidden) &&
        WholeEntries(filterList) > 0) {
        const bool matched = MatchesAnyPattern(filterList, addressNetworkOrder);
        if (filterType == kIpFilterForbidden && matched)
            return true;
        if (filterType == kIpFilterAllowedOnly && !matched)
            return true;
    }
    return useAutoBlock && HoldsEntry(autoBlockList, AddressBytes(addressNetworkOrder));
}

bool IsBlockedAddress(uint32_t addressNetworkOrder) {
    // Each list is read only when it can decide, so an idle filter costs one settings read.
    const uint32_t filterType = ReadIpFilterType();
    const bool filterInUse = filterType == kIpFilterAllowedOnly || filterType == kIpFilterForbidden;
    const std::vector<uint8_t> filterList = filterInUse ? ReadIpFilterList() : std::vector<uint8_t>();
    const bool useAutoBlock = UseAutoBlockList();
    const std::vector<uint8_t> autoBlockList = useAutoBlock ? ReadAutoBlockList() : std::vector<uint8_t>();
    return IsBlockedBy(filterType, filterList, useAutoBlock, autoBlockList, addressNetworkOrder);
}

bool AddToAutoBlockList(uint32_t addressNetworkOrder) {
    return AddEntry(AddressBytes(addressNetworkOrder), &ReadAutoBlockList, &WriteAutoBlockList);
}

bool AddToIpFilterList(const IpPattern& pattern) {
    return AddEntry(pattern, &ReadIpFilterList, &WriteIpFilterList);
}

}  // namespace sarvo
