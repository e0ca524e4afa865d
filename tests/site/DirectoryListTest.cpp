#include "site/DirectoryList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;

FindData File(const std::string& name, uint64_t size = 0, uint64_t ticks = 0) {
    FindData entry;
    entry.name = name;
    entry.attributes = kFileAttributeArchive;
    entry.size = size;
    entry.lastWriteTime.ticks = ticks;
    return entry;
}

FindData Folder(const std::string& name, uint64_t ticks = 0) {
    FindData entry = File(name, 0, ticks);
    entry.attributes = kFileAttributeDirectory;
    return entry;
}

std::vector<std::string> Names(const DirectoryList& list) {
    std::vector<std::string> names;
    for (const FindData& entry : list)
        names.push_back(entry.name);
    return names;
}

DirectoryList ListOf(const std::vector<FindData>& entries) {
    DirectoryList list;
    for (const FindData& entry : entries)
        list.Add(entry);
    return list;
}

TEST(CompareDirectoryEntries, FolderCountsAsIfItsNameBeganWithABlank) {
    struct Case {
        const char* description;
        FindData a;
        FindData b;
        int sign;
    } cases[] = {
        {"folder before a printable file name", Folder("zzz"), File("!"), -1},
        {"file before the folder", File("!"), Folder("zzz"), 1},
        // The blank is compared like any byte: a file whose name starts with a control byte, or with a
        // blank and a smaller rest, still comes first.
        {"control byte file before a folder", Folder("a"), File("\x01x"), 1},
        {"blank-led file against a folder", Folder("b"), File(" a"), 1},
        {"blank-led file equal to the blank-led folder", Folder("a"), File(" a"), 0},
        {"two folders by name", Folder("B"), Folder("a"), 1},
        {"same name in another case", File("README"), File("readme"), 0},
        {"a prefix sorts first", File("abc"), File("abcd"), -1},
        // Letters compare in lower case, so '_' (below 'a') comes before every letter.
        {"'_' before a capital letter", File("_under"), File("Alpha.txt"), -1},
        {"digits by byte, not by number", File("10.txt"), File("9.txt"), -1},
        {"UTF-8 bytes after every ASCII letter", File("zoo.txt"), File("\xc3\xa9t\xc3\xa9.txt"), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        int result = CompareDirectoryEntries(c.a, c.b, SortColumn::Name);
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
}

TEST(SortDirectoryList, NameOrderAgreesWithTheComparison) {
    // Names from bytes that sit around the blank and the letters, so that every rule is exercised.
    const std::string alphabet = std::string("\x01 !AZaz_~") + "\xc3\xa9";
    std::mt19937 random(20050115);
    for (int round = 0; round < 50; ++round) {
        DirectoryList list;
        for (int i = 0; i < 40; ++i) {
            // Half the names share a prefix that ends near the 16th byte of their keys, so that
            // names are told apart before, at and after it.
            std::string name = random() % 2 ? std::string("Long Prefix Na") : std::string();
            for (size_t length = 1 + random() % 4; length > 0; --length)
                name.push_back(alphabet[random() % alphabet.size()]);
            list.Add(random() % 3 == 0 ? Folder(name) : File(name));
        }
        SortDirectoryList(list, SortColumn::Name, SortOrder::Ascending);
        for (size_t i = 1; i < list.Size(); ++i)
            ASSERT_LE(CompareDirectoryEntries(list[i - 1], list[i], SortColumn::Name), 0)
                << round << " " << i;
        SortDirectoryList(list, SortColumn::Name, SortOrder::Descending);
        for (size_t i = 1; i < list.Size(); ++i)
            ASSERT_GE(CompareDirectoryEntries(list[i - 1], list[i], SortColumn::Name), 0)
                << round << " " << i;
    }
}

TEST(SortDirectoryList, OtherColumns) {
    DirectoryList list = ListOf({File("a.txt", 300, 20), File("b.jpg", 100, 30), File("c.MP3", 200, 10)});
    SortDirectoryList(list, SortColumn::Size, SortOrder::Ascending);
    EXPECT_THAT(Names(list), ElementsAre("b.jpg", "c.MP3", "a.txt"));
    SortDirectoryList(list, SortColumn::LastWriteTime, SortOrder::Ascending);
    EXPECT_THAT(Names(list), ElementsAre("c.MP3", "a.txt", "b.jpg"));
    SortDirectoryList(list, SortColumn::LastWriteTime, SortOrder::Descending);
    EXPECT_THAT(Names(list), ElementsAre("b.jpg", "a.txt", "c.MP3"));
    SortDirectoryList(list, SortColumn::TypeName, SortOrder::Ascending);
    EXPECT_THAT(Names(list), ElementsAre("b.jpg", "c.MP3", "a.txt"));
}

TEST(ScanDirectory, ThumbnailIndexNamesAndMissingFolders) {
    TempFolder folder;
    // The index is looked up by its own name first; one in another case stands in when that misses.
    folder.WriteFile("PIXINDEX.$$$", "upper");
    folder.WriteFile("Pixindex.$$$", "mixed");
    DirectoryList list;
    ScanDirectory(list, folder.Path(), ScanEntries::FilesOnly);
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_TRUE(IsThumbnailIndexName(list[0].name));

    // A folder named like the index is an ordinary folder.
    TempFolder other;
    ASSERT_EQ(::mkdir(other.Child("pixindex.$$$").c_str(), 0755), 0);
    ScanDirectory(list, other.Path(), ScanEntries::FilesAndFolders);
    EXPECT_THAT(Names(list), ElementsAre("pixindex.$$$"));
    ScanDirectory(list, other.Path(), ScanEntries::FilesOnly);
    EXPECT_TRUE(list.IsEmpty());

    list = ListOf({File("stale")});
    ScanDirectory(list, folder.Child("missing"), ScanEntries::FilesAndFolders);
    EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
}  // namespace sarvo
