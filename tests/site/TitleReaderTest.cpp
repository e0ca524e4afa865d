#include "site/TitleReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::TempFolder;

// An audio file of the given size whose last bytes hold a tag at tagOffset bytes before the end.
std::string Mp3WithTag(size_t size, size_t tagOffset, const std::string& marker, const std::string& title) {
    std::string data(size, 'x');
    std::string tag = marker + title;
    data.replace(size - tagOffset, tag.size(), tag);
    return data;
}

std::string Padded(const std::string& text, char pad) {
    std::string field = text;
    field.resize(kId3TitleLength, pad);
    return field;
}

TEST(TitleReader, Mp3TitlesFromTheVersionOneTag) {
    struct Case {
        const char* description;
        std::string content;
        const char* expected;
    } cases[] = {
        {"tag 128 bytes before the end, blanks padded", Mp3WithTag(4000, 128, "TAG", Padded("My Song", ' ')),
         "My Song"},
        {"tag marker in lower case", Mp3WithTag(4000, 128, "tag", Padded("Quiet", ' ')), "Quiet"},
        {"NUL padding ends the title", Mp3WithTag(4000, 128, "TAG", Padded("Short", '\0')), "Short"},
        {"tag two bytes earlier", Mp3WithTag(4000, 130, "TAG", Padded("Shifted", ' ')), "Shifted"},
        {"a full 30-byte title", Mp3WithTag(4000, 128, "TAG", std::string(30, 'T')),
         "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT"},
        {"no tag at either place", std::string(4000, 'x'), ""},
        {"a title of blanks is none", Mp3WithTag(4000, 128, "TAG", Padded("", ' ')), ""},
        {"file shorter than a tag", std::string(100, 'x'), ""},
        {"file of exactly one tag", Mp3WithTag(128, 128, "TAG", Padded("Exact", ' ')), "Exact"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TitleReader reader(folder.WriteFile("song.mp3", c.content));
        EXPECT_EQ(reader.Title(), c.expected);
        EXPECT_EQ(reader.HasTitle(), std::string(c.expected) != "");
    }
}

TEST(TitleReader, PageTitles) {
    struct Case {
        const char* description;
        std::string content;
        std::string expected;
    } cases[] = {
        {"plain title", "<html><head><title>Report</title></head></html>", "Report"},
        {"tags in any case", "<HTML><TITLE>Upper</Title>", "Upper"},
        {"the first title counts", "<title>One</title><title>Two</title>", "One"},
        {"markup inside is kept", "<title>A <b>bold</b> move</title>", "A <b>bold</b> move"},
        {"no title tag", "<html><body>Report</body></html>", ""},
        {"an empty title is none", "<title></title>", ""},
        {"no closing tag takes the rest", "<title>Open ended", "Open ended"},
        {"cut to 255 bytes", "<title>" + std::string(300, 'a') + "</title>", std::string(255, 'a')},
        {"a NUL ends the title", std::string("<title>Before") + '\0' + "After</title>", "Before"},
        {"a title past the first 64 KiB is not read",
         std::string(kTitleReadLimit, ' ') + "<title>Late</title>", ""},
        {"a title that starts inside the first 64 KiB",
         std::string(kTitleReadLimit - 10, ' ') + "<title>Late</title>", "Lat"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(TitleReader(folder.WriteFile("page.htm", c.content)).Title(), c.expected);
        EXPECT_EQ(TitleReader(folder.WriteFile("page.HTML", c.content)).Title(), c.expected);
    }
}

TEST(TitleReader, OtherFilesHaveNoTitle) {
    TempFolder folder;
    const std::string page = "<title>Report</title>";
    EXPECT_FALSE(TitleReader(folder.WriteFile("notes.txt", page)).HasTitle());
    EXPECT_FALSE(TitleReader(folder.WriteFile("noextension", page)).HasTitle());
    EXPECT_FALSE(TitleReader(folder.WriteFile("page.htmx", page)).HasTitle());
    // The extension is taken from the whole path, so a dot in a folder's name does not make one.
    EXPECT_FALSE(TitleReader(folder.WriteFile("site.html/index", page)).HasTitle());
    EXPECT_FALSE(TitleReader(folder.Child("missing.htm")).HasTitle());
    ASSERT_EQ(::mkdir(folder.Child("folder.htm").c_str(), 0755), 0);
    EXPECT_FALSE(TitleReader(folder.Child("folder.htm")).HasTitle());
    ASSERT_EQ(::mkfifo(folder.Child("pipe.htm").c_str(), 0644), 0);
    EXPECT_FALSE(TitleReader(folder.Child("pipe.htm")).HasTitle());
    // A folder and a name are joined and normalised.
    folder.WriteFile("sub/page.html", "<title>Joined</title>");
    EXPECT_EQ(TitleReader(folder.Path() + "//sub/", "page.html").Title(), "Joined");
}

TEST(TitleReader, UnreadableFileHasNoTitle) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files without read permission";
    TempFolder folder;
    std::string path = folder.WriteFile("locked.htm", "<title>Locked</title>");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_FALSE(TitleReader(path).HasTitle());
}

}  // namespace
}  // namespace sarvo
