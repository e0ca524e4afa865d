#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace sarvo {
namespace {

// Host names are at most 64 bytes on Linux; the rest is room for other systems' longer names.
constexpr size_t kHostNameBufferSize = 256;
constexpr uint32_t kLoopbackNetwork = 0x7F000000;
constexpr uint32_t kLoopbackMask = 0xFF000000;

// 0.0.0.0 is "any address", never one of this computer's own.
void AppendOnce(std::vector<uint32_t>& list, uint32_t address) {
    if (address != 0 && std::find(list.begin(), list.end(), address) == list.end())
        list.push_back(address);
}

std::vector<uint32_t> InterfaceAddresses() {
    std::vector<uint32_t> result;
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0)
        return result;
    for (const ifaddrs* entry = first; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        result.push_back(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
    }
    ::freeifaddrs(first);
    return result;
}

std::vector<uint32_t> ResolvedAddresses(const std::string& hostName) {
    std::vector<uint32_t> result;
    if (hostName.empty())
        return result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* first = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &first) != 0)
        return result;
    for (const addrinfo* entry = first; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr)
            result.push_back(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
    }
    ::freeaddrinfo(first);
    return result;
}

}  // namespace

bool IsLoopbackAddress(uint32_t address) {
    return (ntohl(address) & kLoopbackMask) == kLoopbackNetwork;
}

std::string GetHostName() {
    char buffer[kHostNameBufferSize] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return std::string();
    return std::string(buffer);
}

std::vector<uint32_t> MergeLocalAddresses(const std::vector<uint32_t>& interfaceAddresses,
                                          const std::vector<uint32_t>& resolvedAddresses) {
    std::vector<uint32_t> result;
    for (const auto* list : {&interfaceAddresses, &resolvedAddresses}) {
        for (uint32_t address : *list) {
            if (!IsLoopbackAddress(address))
                AppendOnce(result, address);
        }
    }
    for (const auto* list : {&interfaceAddresses, &resolvedAddresses}) {
        for (uint32_t address : *list) {
            if (IsLoopbackAddress(address))
                AppendOnce(result, address);
        }
    }
    return result;
}

std::vector<uint32_t> LocalIpv4Addresses() {
    return MergeLocalAddresses(InterfaceAddresses(), ResolvedAddresses(GetHostName()));
}

}  // namespace sarvo
