#include <gtest/gtest.h>

#include <string>

#include "SiteFiles.h"
#include "site/RealTimeFile.h"
#include "store/PublishedFiles.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::ScopedSarvoHome;

constexpr int64_t kSomeTime = 1105797959;

class RealTimePathTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, int64_t time) {
        std::string path = m_home.WriteFile(name, name);
        test::SetWriteTime(path, time);
        return path;
    }

    void Publish(const std::string& name, const std::string& path, uint32_t realTime, uint32_t useNewest,
                 const std::string& pattern = "") {
        PublishedFileRecord record;
        record.path = path;
        record.realTime = realTime;
        record.useNewest = useNewest;
        record.searchPattern = pattern;
        ASSERT_TRUE(SetPublishedFile(name, record));
    }

    ScopedSarvoHome m_home;
};

TEST_F(RealTimePathTest, ChoosesTheFileToStream) {
    const std::string day1 = Write("logs/day1.log", kSomeTime);
    const std::string day2 = Write("logs/day2.log", kSomeTime + 100);
    const std::string day3 = Write("logs/day3.txt", kSomeTime + 200);
    Write("logs/old.log", kSomeTime - 100);
    test::MakeFolder(m_home.Child("logs/newest-folder.log"));
    test::SetWriteTime(m_home.Child("logs/newest-folder.log"), kSomeTime + 1000);

    struct Case {
        const char* description;
        std::string path;
        uint32_t realTime;
        uint32_t useNewest;
        std::string pattern;
        bool found;
        std::string expected;
    } cases[] = {
        {"the record's own file", day1, 1, 0, "", true, day1},
        {"newest of the path's extension, folders left out", day1, 1, 1, "", true, day2},
        {"newest of an explicit pattern", day1, 1, 1, "*.txt", true, day3},
        {"pattern matching nothing falls back to the path", day1, 1, 1, "*.none", true, day1},
        {"missing file", m_home.Child("logs/missing.log"), 1, 0, "", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        Publish("stream.log", c.path, c.realTime, c.useNewest, c.pattern);
        std::string out = "stale";
        EXPECT_EQ(ResolveRealTimePath("stream.log", out), c.found);
        if (c.found) {
            EXPECT_EQ(out, c.expected);
        }
    }
    std::string out;
    EXPECT_FALSE(ResolveRealTimePath("never-published.log", out));
}

}  // namespace
}  // namespace sarvo
