#include "store/CommitWatch.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/StoreTest.h"

// The watch is what lets a request skip the database: its mark must stay put while nothing is
// committed, so that the shared copy is used, and move with every commit, so that it is not.
namespace sarvo {
namespace {

using CommitWatchTest = test::StoreTest;

TEST_F(CommitWatchTest, MarkMovesWithEveryCommitAndOnlyThen) {
    ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Test", "Value", "0"));
    auto watch = CommitWatch::Open();
    ASSERT_NE(watch, nullptr);
    CommitMark before;
    ASSERT_TRUE(watch->Read(before));
    RegistryValue value;
    ASSERT_TRUE(ReadValue(Hive::CurrentUser, "Software\\Test", "Value", value));
    CommitMark afterRead;
    ASSERT_TRUE(watch->Read(afterRead));
    EXPECT_EQ(afterRead, before);

    CommitMark last = before;
    for (const char* text : {"1", "2", "2"}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(WriteText(Hive::CurrentUser, "Software\\Test", "Value", text));
        CommitMark now;
        ASSERT_TRUE(watch->Read(now));
        EXPECT_NE(now, last);
        last = now;
    }
}

}  // namespace
}  // namespace sarvo
