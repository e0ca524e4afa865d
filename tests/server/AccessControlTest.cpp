#include "server/AccessControl.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <cstring>
#include <latch>
#include <set>
#include <thread>
#include <vector>

#include "store/SiteSettings.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

// Network order, the way accept() reports a peer.
uint32_t Address(const char* dotted) {
    in_addr address{};
    EXPECT_EQ(::inet_pton(AF_INET, dotted, &address), 1) << dotted;
    return address.s_addr;
}

struct RuleCase {
    const char* description;
    uint32_t type;
    std::vector<uint8_t> filter;
    bool useAutoBlock;
    std::vector<uint8_t> autoBlock;
    const char* address;
    bool blocked;
};

constexpr uint32_t kOff = kIpFilterOff;
constexpr uint32_t kOnly = kIpFilterAllowedOnly;
constexpr uint32_t kForbid = kIpFilterForbidden;

const RuleCase kRules[] = {
    // A forbidden pattern that matches and one that does not, an allowed pattern that does not match and
    // an empty allowed list are tried on the wire (ServerIntegrationTest).
    {"exact pattern", kForbid, {192, 168, 4, 7}, true, {}, "192.168.4.7", true},
    {"exact pattern, last byte differs", kForbid, {192, 168, 4, 7}, true, {}, "192.168.4.8", false},
    {"pattern bytes in address order", kForbid, {192, 168, 4, 7}, true, {}, "7.4.168.192", false},
    {"wildcard in the first byte", kForbid, {255, 0, 0, 1}, true, {}, "10.0.0.1", true},
    {"only 255 is a wildcard", kForbid, {10, 0, 0, 254}, true, {}, "10.0.0.255", false},
    {"allowed-only admits a match", kOnly, {10, 0, 0, 255}, true, {}, "10.0.0.9", false},
    // Local clients are admitted by the caller before the rule is asked; the rule itself knows none.
    {"allowed-only knows no loopback", kOnly, {10, 0, 0, 255}, true, {}, "127.0.0.1", true},
    {"allowed-only, second pattern", kOnly, {1, 2, 3, 4, 10, 0, 0, 255}, true, {}, "10.0.0.9", false},
    {"forbidden without a list", kForbid, {}, true, {}, "10.0.1.9", false},
    {"filter off ignores its list", kOff, {10, 0, 1, 9}, true, {}, "10.0.1.9", false},
    {"unknown filter type is off", 3, {10, 0, 1, 9}, true, {}, "10.0.1.9", false},
    {"partial pattern is no pattern", kOnly, {10, 0, 1}, true, {}, "10.0.1.9", false},
    {"bytes after the last pattern", kForbid, {1, 2, 3, 4, 10, 0}, true, {}, "10.0.255.255", false},
    {"auto-blocked", kOff, {}, true, {10, 0, 0, 9}, "10.0.0.9", true},
    {"auto-block list is exact", kOff, {}, true, {10, 0, 0, 255}, "10.0.0.9", false},
    {"auto-blocked though allowed", kOnly, {10, 0, 0, 255}, true, {10, 0, 0, 9}, "10.0.0.9", true},
    {"auto-block list off", kOnly, {10, 0, 0, 255}, false, {10, 0, 0, 9}, "10.0.0.9", false},
    {"auto-blocked, later entry", kOff, {}, true, {1, 1, 1, 1, 10, 0, 0, 9}, "10.0.0.9", true},
    {"auto-block partial entry", kOff, {}, true, {1, 1, 1, 1, 10, 0, 0}, "10.0.0.0", false},
};

// The lists as the store holds them reach the rule on the wire (ServerIntegrationTest) and below.
TEST(AccessControlTest, RuleOverGivenLists) {
    for (const RuleCase& c : kRules) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(IsBlockedBy(c.type, c.filter, c.useAutoBlock, c.autoBlock, Address(c.address)), c.blocked);
    }
}

TEST(AccessControlTest, ListsAreAppendedOnceInWrittenOrder) {
    test::ScopedSarvoHome home;
    EXPECT_FALSE(IsBlockedAddress(Address("10.1.2.3"))) << "nothing stored blocks nobody";
    ASSERT_TRUE(AddToAutoBlockList(Address("10.1.2.3")));
    ASSERT_TRUE(AddToAutoBlockList(Address("127.0.0.1")));
    EXPECT_TRUE(AddToAutoBlockList(Address("10.1.2.3")));
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{10, 1, 2, 3, 127, 0, 0, 1}));
    EXPECT_TRUE(IsBlockedAddress(Address("10.1.2.3")));
    // With the list switched off the address is admitted again, and the list is kept.
    ASSERT_TRUE(SetUseAutoBlockList(false));
    EXPECT_FALSE(IsBlockedAddress(Address("10.1.2.3")));
    EXPECT_EQ(ReadAutoBlockList().size(), 8u);

    ASSERT_TRUE(WriteIpFilterList({192, 168, 255, 255}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 9}));
    EXPECT_TRUE(AddToIpFilterList({192, 168, 255, 255}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 9}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 255}));
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{192, 168, 255, 255, 10, 0, 0, 9, 10, 0, 0, 255}));
    EXPECT_EQ(ReadAutoBlockList().size(), 8u);
}

// Regression: each addition is a read-modify-write of the whole list, and two threads adding at the
// same moment used to write back lists without each other's entry.
TEST(AccessControlTest, ConcurrentAdditionsAreNeverLost) {
    test::ScopedSarvoHome home;
    constexpr int kThreads = 16;
    constexpr int kOwnEach = 8;
    const uint32_t shared = Address("10.9.9.9");
    auto own = [](int thread, int index) {
        return std::vector<uint8_t>{172, 16, static_cast<uint8_t>(thread), static_cast<uint8_t>(index)};
    };
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
            start.arrive_and_wait();
            for (int index = 0; index < kOwnEach; ++index) {
                std::vector<uint8_t> bytes = own(thread, index);
                uint32_t address;
                std::memcpy(&address, bytes.data(), 4);
                EXPECT_TRUE(AddToAutoBlockList(address));
                EXPECT_TRUE(AddToAutoBlockList(shared));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const std::vector<uint8_t> list = ReadAutoBlockList();
    EXPECT_EQ(list.size(), (kThreads * kOwnEach + 1) * 4u);
    std::multiset<std::vector<uint8_t>> entries;
    for (size_t offset = 0; offset + 4 <= list.size(); offset += 4)
        entries.insert(std::vector<uint8_t>(list.begin() + offset, list.begin() + offset + 4));
    for (int thread = 0; thread < kThreads; ++thread)
        for (int index = 0; index < kOwnEach; ++index) {
            EXPECT_EQ(entries.count(own(thread, index)), 1u) << thread << "/" << index;
        }
    EXPECT_EQ(entries.count({10, 9, 9, 9}), 1u) << "the address all threads add";
}

}  // namespace
}  // namespace sarvo
