#include "platform/InstanceLock.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

using Result = InstanceLock::Result;

TEST(InstanceLock, OneHolderAtATimeAndFreeAgainWhenItGoes) {
    test::TempFolder folder;
    std::string path = folder.Child("sarvo.lock");
    auto first = std::make_unique<InstanceLock>();
    ASSERT_EQ(first->TryAcquire(path), Result::Acquired);
    EXPECT_EQ(first->TryAcquire(path), Result::Acquired) << "asking again keeps the lock";

    // flock belongs to the open file, so a second object in the same process stands for another copy.
    InstanceLock second;
    EXPECT_EQ(second.TryAcquire(path), Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());

    first.reset();
    EXPECT_EQ(second.TryAcquire(path), Result::Acquired);
}

TEST(InstanceLock, FileThatCannotBeUsedIsReportedAsSuch) {
    test::TempFolder folder;
    std::string target = folder.WriteFile("target", "keep");
    std::string link = folder.Child("planted.lock");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    InstanceLock lock;
    EXPECT_EQ(lock.TryAcquire(link), Result::Unavailable) << "a symbolic link is not followed";
    EXPECT_EQ(lock.TryAcquire(folder.Child("missing/sarvo.lock")), Result::Unavailable);
}

}  // namespace
}  // namespace sarvo
