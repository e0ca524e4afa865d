#include "IndexWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestPictures.h"
#include "server/ThumbnailIndexFormat.h"
#include "support/TempFolder.h"

namespace sarvo::pictorn {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(IndexWriter, CommittedEntriesReadBackUnmaskedWithWidthAsB) {
    sarvo::test::TempFolder folder;
    const std::string indexPath = folder.Child(kThumbnailIndexName);
    IndexWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(indexPath, error)) << error;
    std::vector<uint8_t> first = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> second = {'B', 'M', 9, 9};
    ASSERT_TRUE(writer.Add("one.jpg", first, 120, 90, error)) << error;
    ASSERT_TRUE(writer.Add("two.png", second, 30, 40, error)) << error;
    EXPECT_FALSE(fs::exists(indexPath)) << "the index must not appear before it is complete";
    ASSERT_TRUE(writer.Commit(error)) << error;

    std::vector<test::IndexEntry> entries;
    ASSERT_TRUE(test::ReadIndex(indexPath, entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].header.name, "one.jpg");
    EXPECT_EQ(entries[0].header.dimensionB, 120u);
    EXPECT_EQ(entries[0].header.dimensionA, 90u);
    EXPECT_EQ(entries[0].image, (std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(entries[1].header.name, "two.png");
    EXPECT_EQ(entries[1].header.dimensionB, 30u);
    EXPECT_EQ(entries[1].header.dimensionA, 40u);
    EXPECT_EQ(entries[1].image, (std::vector<uint8_t>{'B', 'M', 9, 9}));
    EXPECT_EQ(FolderContents(folder.Path()), std::vector<std::string>{kThumbnailIndexName});
    EXPECT_EQ(fs::status(indexPath).permissions() & fs::perms::others_read, fs::perms::others_read);
}

TEST(IndexWriter, StoredBytesAreMasked) {
    sarvo::test::TempFolder folder;
    const std::string indexPath = folder.Child(kThumbnailIndexName);
    IndexWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(indexPath, error)) << error;
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
    ASSERT_TRUE(writer.Add("a.gif", gif, 1, 1, error));
    ASSERT_TRUE(writer.Commit(error));
    std::ifstream in(indexPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), kThumbnailEntryHeaderSize + 6);
    EXPECT_NE(bytes.substr(kThumbnailEntryHeaderSize, 3), "GIF");
}

TEST(IndexWriter, UncommittedWriterLeavesTheOldIndexAndNoTemporaryFile) {
    sarvo::test::TempFolder folder;
    const std::string indexPath = folder.WriteFile(kThumbnailIndexName, "old index");
    {
        IndexWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(indexPath, error)) << error;
        std::vector<uint8_t> image = {'G', 'I', 'F'};
        ASSERT_TRUE(writer.Add("a.jpg", image, 1, 1, error));
        EXPECT_TRUE(fs::exists(writer.TemporaryPath()));
    }
    EXPECT_EQ(FolderContents(folder.Path()), std::vector<std::string>{kThumbnailIndexName});
    std::ifstream in(indexPath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "old index");
}

TEST(IndexWriter, NameTooLongForTheFieldIsRefusedAndNotWritten) {
    sarvo::test::TempFolder folder;
    IndexWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(folder.Child(kThumbnailIndexName), error));
    std::vector<uint8_t> image = {'G', 'I', 'F'};
    EXPECT_FALSE(writer.Add(std::string(264, 'n') + ".jpg", image, 1, 1, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(writer.EntryCount(), 0u);
}

TEST(IndexWriter, FolderThatCannotBeWrittenFailsToOpen) {
    sarvo::test::TempFolder folder;
    IndexWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(folder.Child("missing/pixindex.$$$"), error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

}  // namespace
}  // namespace sarvo::pictorn
