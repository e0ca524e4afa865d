#include "store/Users.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/StoreTest.h"

namespace sarvo {
namespace {

using UsersTest = test::StoreTest;

TEST_F(UsersTest, NamesIgnoreCaseAndPasswordsMatchExactly) {
    ASSERT_TRUE(SetUser("Alice", "Secret"));
    ASSERT_TRUE(SetUser("bob", ""));
    EXPECT_TRUE(CheckUserPassword("alice", "Secret"));
    EXPECT_FALSE(CheckUserPassword("alice", "secret"));
    EXPECT_FALSE(CheckUserPassword("alice", "Secret "));
    EXPECT_TRUE(CheckUserPassword("BOB", ""));
    EXPECT_FALSE(CheckUserPassword("carol", ""));
    EXPECT_FALSE(CheckUserPassword("", ""));
    EXPECT_FALSE(SetUser("", "x"));
}

TEST_F(UsersTest, UsersEnumerateInCreationOrderAndCanBeRemoved) {
    ASSERT_TRUE(SetUser("zed", "1"));
    ASSERT_TRUE(SetUser("amy", "2"));
    ASSERT_TRUE(SetUser("ZED", "3"));
    std::string name;
    std::string password;
    ASSERT_TRUE(EnumerateUser(0, name, password));
    EXPECT_EQ(name, "zed");
    EXPECT_EQ(password, "3");
    ASSERT_TRUE(EnumerateUser(1, name, password));
    EXPECT_EQ(name, "amy");
    EXPECT_FALSE(EnumerateUser(2, name, password));

    ASSERT_TRUE(RemoveUser("Zed"));
    ASSERT_TRUE(EnumerateUser(0, name, password));
    EXPECT_EQ(name, "amy");
    ASSERT_TRUE(RemoveAllUsers());
    EXPECT_FALSE(EnumerateUser(0, name, password));
}

TEST_F(UsersTest, OverlongPasswordsAreRefused) {
    ASSERT_TRUE(SetUser("long", std::string(255, 'p')));
    EXPECT_FALSE(CheckUserPassword("long", std::string(255, 'p'))) << "it does not fit the 255-byte buffer";
    ASSERT_TRUE(SetUser("fits", std::string(254, 'p')));
    EXPECT_TRUE(CheckUserPassword("fits", std::string(254, 'p')));
}

}  // namespace
}  // namespace sarvo
