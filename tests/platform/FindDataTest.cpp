#include "platform/FindData.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

// Pattern and name. "*" and "*.*" take every name, also one without a dot; a dot elsewhere is an
// ordinary character; case counts, as in Linux names; '?' is exactly one character; stars must give
// characters back.
TEST(WildcardMatchTest, MatchesAsWindowsPatternsDo) {
    const std::pair<const char*, const char*> matches[] = {
        {"*", "README"},    {"*", ""},          {"*.*", "README"},
        {"*.*", ".hidden"}, {"*.*", "a.b"},     {"*.txt", "a.txt"},
        {"*.txt", ".txt"},  {"a.*", "a."},      {"a?c", "abc"},
        {"??", "ab"},       {"*?", "x"},        {"*.j?g", "a.jpg"},
        {"abc", "abc"},     {"", ""},           {"a*", "a"},
        {"**", "x"},        {"*b", "abab"},     {"*ab", "aab"},
        {"a*b*c", "aXbYc"}, {"a*b*c", "abcbc"}, {"photo*.jpg", "photo.2005.jpg"}};
    const std::pair<const char*, const char*> misses[] = {
        {"*.txt", "a.txt.bak"}, {"*.txt", "atxt"}, {"a.*", "a"},     {"*.TXT", "a.txt"}, {"Photo", "photo"},
        {"a?c", "ac"},          {"a?c", "abbc"},   {"?", ""},        {"*?", ""},         {"abc", "abcd"},
        {"abcd", "abc"},        {"", "a"},         {"a*b*c", "aXbY"}};
    for (const auto& [pattern, name] : matches)
        EXPECT_TRUE(WildcardMatch(pattern, name)) << "pattern '" << pattern << "' name '" << name << "'";
    for (const auto& [pattern, name] : misses)
        EXPECT_FALSE(WildcardMatch(pattern, name)) << "pattern '" << pattern << "' name '" << name << "'";
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*b", std::string(44, 'a')));
}

// Half a second past a whole second, so that the sub-second part of the conversion is exercised.
constexpr time_t kWriteSeconds = 1000000000;
constexpr time_t kAccessSeconds = 1100000000;
constexpr long kNanoseconds = 500000000;

class DirectoryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_startSeconds = ::time(nullptr);
        m_folder.WriteFile("a.txt", "hello");
        m_folder.WriteFile(".hidden", "x");
        m_folder.WriteFile("ro.txt", "read only");
        ASSERT_EQ(::chmod(m_folder.Child("ro.txt").c_str(), 0444), 0);
        ASSERT_EQ(::mkdir(m_folder.Child("sub").c_str(), 0755), 0);
        ASSERT_EQ(::mkfifo(m_folder.Child("pipe").c_str(), 0644), 0);
        ASSERT_EQ(::symlink("a.txt", m_folder.Child("link.txt").c_str()), 0);
        ASSERT_EQ(::symlink("nowhere", m_folder.Child("dangling").c_str()), 0);
        timespec times[2] = {{kAccessSeconds, kNanoseconds}, {kWriteSeconds, kNanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, m_folder.Child("a.txt").c_str(), times, 0), 0);
    }

    std::map<std::string, FindData> List(const std::string& pattern) {
        std::map<std::string, FindData> found;
        DirectoryEnumerator enumerator(m_folder.Child(pattern));
        FindData entry;
        while (enumerator.Next(entry)) {
            EXPECT_TRUE(found.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
        }
        EXPECT_FALSE(enumerator.Next(entry)) << "an ended enumerator must stay ended";
        return found;
    }

    static std::string Names(const std::map<std::string, FindData>& entries) {
        std::string names;
        for (const auto& [name, entry] : entries)
            names += (names.empty() ? "" : " ") + name;
        return names;
    }

    test::TempFolder m_folder;
    time_t m_startSeconds = 0;
};

TEST_F(DirectoryFixture, StarListsEveryEntryButDotsAndDanglingLinks) {
    auto entries = List("*");
    EXPECT_EQ(Names(entries), ".hidden a.txt link.txt pipe ro.txt sub");

    const std::pair<const char*, uint32_t> expected[] = {
        {".hidden", kFileAttributeArchive | kFileAttributeHidden},
        {"a.txt", kFileAttributeArchive},
        {"link.txt", kFileAttributeArchive},
        {"pipe", kFileAttributeSystem},
        {"ro.txt", kFileAttributeArchive | kFileAttributeReadOnly},
        {"sub", kFileAttributeDirectory},
    };
    for (auto [name, attributes] : expected) {
        SCOPED_TRACE(name);
        ASSERT_EQ(entries.count(name), 1u);
        EXPECT_EQ(entries[name].attributes, attributes);
    }
    EXPECT_EQ(entries["a.txt"].size, 5u);
    EXPECT_EQ(entries["ro.txt"].size, 9u);
    EXPECT_EQ(entries["sub"].size, 0u);
    EXPECT_EQ(entries["pipe"].size, 0u);
    // A link describes what it points at.
    EXPECT_EQ(entries["link.txt"].size, 5u);
    EXPECT_EQ(entries["link.txt"].lastWriteTime, entries["a.txt"].lastWriteTime);
}

TEST_F(DirectoryFixture, TimesComeFromTheFile) {
    auto entries = List("a.txt");
    ASSERT_EQ(entries.count("a.txt"), 1u);
    const FindData& file = entries["a.txt"];
    EXPECT_EQ(file.lastWriteTime.ticks, FileTimeFromUnixSeconds(kWriteSeconds).ticks + kNanoseconds / 100);
    EXPECT_EQ(file.lastAccessTime.ticks, FileTimeFromUnixSeconds(kAccessSeconds).ticks + kNanoseconds / 100);
    // Birth or change time: either one is the moment the test made the file, not the time set on it.
    int64_t created = FileTimeToUnixSeconds(file.creationTime);
    EXPECT_GE(created, m_startSeconds - 1);
    EXPECT_LE(created, ::time(nullptr) + 1);
}

TEST_F(DirectoryFixture, PatternsSelectAndNamesListOneEntry) {
    EXPECT_EQ(Names(List("*.*")), ".hidden a.txt link.txt pipe ro.txt sub");
    EXPECT_EQ(Names(List("?.txt")), "a.txt");
    EXPECT_EQ(Names(List("s*")), "sub");
    EXPECT_EQ(Names(List("*.none")), "");
    EXPECT_EQ(Names(List("sub")), "sub");
    EXPECT_EQ(Names(List(".hidden")), ".hidden");
    EXPECT_EQ(Names(List("missing")), "");
    EXPECT_EQ(Names(List("dangling")), "");
    EXPECT_EQ(Names(List(".")), "");
    EXPECT_EQ(Names(List("..")), "");
    EXPECT_EQ(Names(List("sub/")), "");
    EXPECT_EQ(Names(List("sub/*")), "");
    EXPECT_EQ(Names(List("missing/*")), "");
}

TEST_F(DirectoryFixture, GetFindDataDescribesOnePathOrLeavesTheRecord) {
    FindData data;
    ASSERT_TRUE(GetFindData(m_folder.Child("a.txt"), data));
    EXPECT_EQ(data.name, "a.txt");
    EXPECT_EQ(data.size, 5u);
    EXPECT_EQ(data.attributes, kFileAttributeArchive);

    ASSERT_TRUE(GetFindData(m_folder.Child("sub") + "/", data));
    EXPECT_EQ(data.name, "sub");
    EXPECT_EQ(data.attributes, kFileAttributeDirectory);

    ASSERT_TRUE(GetFindData("/", data));
    EXPECT_EQ(data.name, "");
    EXPECT_NE(data.attributes & kFileAttributeDirectory, 0u);

    // A path that names nothing leaves the record as it was.
    data.name = "untouched";
    data.size = 77;
    EXPECT_FALSE(GetFindData(m_folder.Child("missing"), data));
    EXPECT_FALSE(GetFindData(m_folder.Child("missing/deeper.txt"), data));
    EXPECT_FALSE(GetFindData(m_folder.Child("dangling"), data));
    EXPECT_FALSE(GetFindData("", data));
    EXPECT_EQ(data.name, "untouched");
    EXPECT_EQ(data.size, 77u);
}

// The attributes are those of the listing, which the first case checks; what differs is the path.
TEST_F(DirectoryFixture, GetFileAttributesUsesTheLastComponent) {
    uint32_t attributes = 0;
    ASSERT_TRUE(GetFileAttributes(m_folder.Child(".hidden"), attributes));
    EXPECT_EQ(attributes, kFileAttributeArchive | kFileAttributeHidden);
    // "." is the folder itself, not a hidden entry.
    ASSERT_TRUE(GetFileAttributes(m_folder.Child("sub/."), attributes));
    EXPECT_EQ(attributes, kFileAttributeDirectory);
    attributes = 123;
    EXPECT_FALSE(GetFileAttributes(m_folder.Child("dangling"), attributes));
    EXPECT_EQ(attributes, 123u);
}

TEST_F(DirectoryFixture, StatFindDataTakesTheGivenNameAndFolder) {
    int folder = ::open(m_folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    FindData data;
    EXPECT_TRUE(StatFindData(folder, "a.txt", ".shown-as-hidden", data));
    EXPECT_EQ(data.name, ".shown-as-hidden");
    EXPECT_EQ(data.attributes, kFileAttributeArchive | kFileAttributeHidden);
    EXPECT_EQ(data.size, 5u);
    EXPECT_FALSE(StatFindData(folder, "missing", "missing", data));
    ::close(folder);
}

TEST_F(DirectoryFixture, ReadOnlyFollowsTheOwnerWriteBitWhoeverAsks) {
    ASSERT_EQ(::chmod(m_folder.Child("sub").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(m_folder.Child("a.txt").c_str(), 0244), 0);
    uint32_t attributes = 0;
    ASSERT_TRUE(GetFileAttributes(m_folder.Child("sub"), attributes));
    EXPECT_EQ(attributes, kFileAttributeDirectory | kFileAttributeReadOnly);
    ASSERT_TRUE(GetFileAttributes(m_folder.Child("a.txt"), attributes));
    EXPECT_EQ(attributes, kFileAttributeArchive);
    ASSERT_EQ(::chmod(m_folder.Child("sub").c_str(), 0755), 0);
}

}  // namespace
}  // namespace sarvo
