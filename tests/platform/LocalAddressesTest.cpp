#include "platform/LocalAddresses.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sarvo {
namespace {

uint32_t A(const char* text) {
    in_addr address{};
    EXPECT_EQ(::inet_pton(AF_INET, text, &address), 1) << text;
    return address.s_addr;
}

std::string Text(const std::vector<uint32_t>& addresses) {
    std::string text;
    for (uint32_t address : addresses) {
        char buffer[INET_ADDRSTRLEN] = {};
        in_addr value{address};
        ::inet_ntop(AF_INET, &value, buffer, sizeof buffer);
        text += (text.empty() ? "" : " ") + std::string(buffer);
    }
    return text;
}

struct MergeCase {
    const char* description;
    std::vector<const char*> interfaces;
    std::vector<const char*> resolved;
    const char* expected;
};

TEST(LocalAddressesTest, RealAddressesComeFirstAndEachAddressOnce) {
    const MergeCase cases[] = {
        {"loopback after the interfaces' real addresses",
         {"127.0.0.1", "192.168.1.5", "10.0.0.2"},
         {},
         "192.168.1.5 10.0.0.2 127.0.0.1"},
        {"the host name's 127.0.1.1 after real addresses",
         {"127.0.0.1", "192.168.1.5"},
         {"127.0.1.1"},
         "192.168.1.5 127.0.0.1 127.0.1.1"},
        {"a resolved real address before every loopback",
         {"127.0.0.1", "10.0.0.2"},
         {"127.0.1.1", "172.16.0.9"},
         "10.0.0.2 172.16.0.9 127.0.0.1 127.0.1.1"},
        {"a resolved address already listed is not repeated",
         {"10.0.0.2", "127.0.0.1"},
         {"10.0.0.2", "127.0.0.1"},
         "10.0.0.2 127.0.0.1"},
        {"duplicates within one list",
         {"10.0.0.2", "10.0.0.2", "127.0.0.1", "127.0.0.1"},
         {},
         "10.0.0.2 127.0.0.1"},
        {"the any-address is never ours", {"0.0.0.0", "10.0.0.2"}, {"0.0.0.0"}, "10.0.0.2"},
        {"the system's order is kept",
         {"10.0.0.9", "10.0.0.1", "192.168.0.1"},
         {},
         "10.0.0.9 10.0.0.1 192.168.0.1"},
        {"nothing at all", {}, {}, ""},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.description);
        std::vector<uint32_t> interfaces;
        std::vector<uint32_t> resolved;
        for (const char* text : c.interfaces)
            interfaces.push_back(A(text));
        for (const char* text : c.resolved)
            resolved.push_back(A(text));
        EXPECT_EQ(Text(MergeLocalAddresses(interfaces, resolved)), c.expected);
    }
}

TEST(LocalAddressesTest, LoopbackIsTheWhole127Network) {
    for (const char* text : {"127.0.0.1", "127.0.1.1", "127.255.255.255"})
        EXPECT_TRUE(IsLoopbackAddress(A(text))) << text;
    for (const char* text : {"126.255.255.255", "128.0.0.1", "1.0.0.127", "0.0.0.0"})
        EXPECT_FALSE(IsLoopbackAddress(A(text))) << text;
}

// The ordering rule is the merge's, checked above; here only that the system's lists reach it.
TEST(LocalAddressesTest, ThisComputersLoopbackAddressesComeLast) {
    std::vector<uint32_t> addresses = LocalIpv4Addresses();
    ASSERT_FALSE(addresses.empty());
    auto firstLoopback = std::find_if(addresses.begin(), addresses.end(), IsLoopbackAddress);
    EXPECT_TRUE(std::all_of(firstLoopback, addresses.end(), IsLoopbackAddress)) << Text(addresses);
}

}  // namespace
}  // namespace sarvo
