#include "server/AccessControl.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
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

struct PatternCase {
    IpPattern pattern;
    const char* address;
    bool matches;
};

TEST(AccessControlTest, PatternBytesMatchExactlyOrAsWildcards) {
    const PatternCase cases[] = {
        {{192, 168, 4, 7}, "192.168.4.7", true},
        {{192, 168, 4, 7}, "192.168.4.8", false},
        {{192, 168, 4, 7}, "7.4.168.192", false},
        {{192, 168, 255, 255}, "192.168.4.7", true},
        {{192, 168, 255, 255}, "192.169.4.7", false},
        {{255, 255, 255, 255}, "1.2.3.4", true},
        {{255, 0, 0, 1}, "10.0.0.1", true},
        {{255, 0, 0, 1}, "10.0.1.1", false},
        {{10, 0, 0, 255}, "10.0.0.255", true},
        {{10, 0, 0, 254}, "10.0.0.255", false},
        {{0, 0, 0, 0}, "0.0.0.0", true},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(MatchesIpPattern(c.pattern, Address(c.address)), c.matches);
    }
}

struct RuleCase {
    const char* description;
    uint32_t filterType;
    std::vector<uint8_t> filterList;
    bool useAutoBlock;
    std::vector<uint8_t> autoBlockList;
    const char* address;
    bool blocked;
};

const std::vector<RuleCase>& RuleCases() {
    static const std::vector<RuleCase> cases = {
        {"forbidden pattern refuses",
         kIpFilterForbidden,
         {192, 168, 255, 255},
         true,
         {},
         "192.168.4.7",
         true},
        {"forbidden pattern admits others",
         kIpFilterForbidden,
         {192, 168, 255, 255},
         true,
         {},
         "10.0.0.1",
         false},
        {"allowed-only admits a match", kIpFilterAllowedOnly, {10, 0, 0, 255}, true, {}, "10.0.0.9", false},
        {"allowed-only refuses the rest", kIpFilterAllowedOnly, {10, 0, 0, 255}, true, {}, "10.0.1.9", true},
        // Local clients are admitted by the caller before the rule is asked; the rule itself knows none.
        {"allowed-only knows no loopback",
         kIpFilterAllowedOnly,
         {10, 0, 0, 255},
         true,
         {},
         "127.0.0.1",
         true},
        {"allowed-only, second pattern",
         kIpFilterAllowedOnly,
         {1, 2, 3, 4, 10, 0, 0, 255},
         true,
         {},
         "10.0.0.9",
         false},
        {"allowed-only without a list", kIpFilterAllowedOnly, {}, true, {}, "10.0.1.9", false},
        {"forbidden without a list", kIpFilterForbidden, {}, true, {}, "10.0.1.9", false},
        {"filter off ignores its list", kIpFilterOff, {10, 0, 1, 9}, true, {}, "10.0.1.9", false},
        {"unknown filter type is off", 3, {10, 0, 1, 9}, true, {}, "10.0.1.9", false},
        {"partial pattern is no pattern", kIpFilterAllowedOnly, {10, 0, 1}, true, {}, "10.0.1.9", false},
        {"bytes after the last pattern",
         kIpFilterForbidden,
         {1, 2, 3, 4, 10, 0},
         true,
         {},
         "10.0.255.255",
         false},
        {"auto-blocked", kIpFilterOff, {}, true, {10, 0, 0, 9}, "10.0.0.9", true},
        {"auto-block list is exact", kIpFilterOff, {}, true, {10, 0, 0, 255}, "10.0.0.9", false},
        {"auto-blocked though allowed",
         kIpFilterAllowedOnly,
         {10, 0, 0, 255},
         true,
         {10, 0, 0, 9},
         "10.0.0.9",
         true},
        {"auto-block list off",
         kIpFilterAllowedOnly,
         {10, 0, 0, 255},
         false,
         {10, 0, 0, 9},
         "10.0.0.9",
         false},
        {"auto-blocked, later entry", kIpFilterOff, {}, true, {1, 1, 1, 1, 10, 0, 0, 9}, "10.0.0.9", true},
        {"auto-block partial entry", kIpFilterOff, {}, true, {1, 1, 1, 1, 10, 0, 0}, "10.0.0.0", false},
    };
    return cases;
}

TEST(AccessControlTest, RuleOverGivenLists) {
    for (const RuleCase& c : RuleCases()) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(
            IsBlockedBy(c.filterType, c.filterList, c.useAutoBlock, c.autoBlockList, Address(c.address)),
            c.blocked);
    }
}

// The same rule, with the lists coming from the store as the control window leaves them.
TEST(AccessControlTest, RuleOverStoredSettings) {
    test::ScopedSarvoHome home;
    for (const RuleCase& c : RuleCases()) {
        SCOPED_TRACE(c.description);
        if (c.filterType > kIpFilterForbidden)
            continue;  // the store cannot hold such a type; it reads back as 0
        ASSERT_TRUE(WriteIpFilterType(c.filterType));
        ASSERT_TRUE(WriteIpFilterList(c.filterList));
        ASSERT_TRUE(SetUseAutoBlockList(c.useAutoBlock));
        ASSERT_TRUE(WriteAutoBlockList(c.autoBlockList));
        EXPECT_EQ(IsBlockedAddress(Address(c.address)), c.blocked);
    }
}

TEST(AccessControlTest, NothingStoredBlocksNobody) {
    test::ScopedSarvoHome home;
    EXPECT_FALSE(IsBlockedAddress(Address("10.0.0.9")));
    EXPECT_TRUE(UseAutoBlockList());
}

TEST(AccessControlTest, AutoBlockListHoldsPeerAddressBytesInWrittenOrder) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(AddToAutoBlockList(Address("10.1.2.3")));
    ASSERT_TRUE(AddToAutoBlockList(Address("127.0.0.1")));
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{10, 1, 2, 3, 127, 0, 0, 1}));
    EXPECT_TRUE(IsBlockedAddress(Address("10.1.2.3")));

    // With the list switched off the address is admitted again, and the list is kept.
    ASSERT_TRUE(SetUseAutoBlockList(false));
    EXPECT_FALSE(IsBlockedAddress(Address("10.1.2.3")));
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{10, 1, 2, 3, 127, 0, 0, 1}));
}

TEST(AccessControlTest, AddingAListedAddressChangesNothing) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(WriteAutoBlockList({10, 1, 2, 3, 10, 1, 2, 4}));
    EXPECT_TRUE(AddToAutoBlockList(Address("10.1.2.4")));
    EXPECT_TRUE(AddToAutoBlockList(Address("10.1.2.3")));
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{10, 1, 2, 3, 10, 1, 2, 4}));
}

TEST(AccessControlTest, FilterPatternsAreAppendedOnce) {
    test::ScopedSarvoHome home;
    ASSERT_TRUE(WriteIpFilterList({192, 168, 255, 255}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 9}));
    EXPECT_TRUE(AddToIpFilterList({192, 168, 255, 255}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 9}));
    EXPECT_TRUE(AddToIpFilterList({10, 0, 0, 255}));
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{192, 168, 255, 255, 10, 0, 0, 9, 10, 0, 0, 255}));
    // The auto-block list is a list of its own.
    EXPECT_TRUE(ReadAutoBlockList().empty());
}

// Regression: each addition is a read-modify-write of the whole list, and two threads adding at the
// same moment used to write back lists without each other's entry.
TEST(AccessControlTest, ConcurrentAdditionsAreNeverLost) {
    test::ScopedSarvoHome home;
    constexpr int kThreads = 16;
    // Several additions per thread give the unserialised version many chances to lose one.
    constexpr int kOwnEach = 8;
    const std::vector<uint8_t> shared = {10, 9, 9, 9};
    auto own = [](int thread, int index) {
        return std::vector<uint8_t>{172, 16, static_cast<uint8_t>(thread), static_cast<uint8_t>(index)};
    };
    auto asAddress = [](const std::vector<uint8_t>& bytes) {
        uint32_t address = 0;
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(&address));
        return address;
    };
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
            start.arrive_and_wait();
            for (int index = 0; index < kOwnEach; ++index) {
                EXPECT_TRUE(AddToAutoBlockList(asAddress(own(thread, index))));
                EXPECT_TRUE(AddToAutoBlockList(asAddress(shared)));
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
    for (int thread = 0; thread < kThreads; ++thread) {
        for (int index = 0; index < kOwnEach; ++index) {
            SCOPED_TRACE(testing::Message() << "thread " << thread << ", address " << index);
            EXPECT_EQ(entries.count(own(thread, index)), 1u);
        }
    }
    EXPECT_EQ(entries.count(shared), 1u) << "the address all threads add";
}

}  // namespace
}  // namespace sarvo
