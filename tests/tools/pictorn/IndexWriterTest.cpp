#include "IndexWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "support/TempFolder.h"
#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo::pictorn {
namespace {

namespace fs = std::filesystem;

size_t FilesIn(const std::string& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(IndexWriter, CommittedEntryIsStoredMaskedReadableByAllAndAloneInTheFolder) {
    sarvo::test::TempFolder folder;
    const std::string indexPath = folder.Child(kThumbnailIndexName);
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6};
    IndexWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(indexPath, error)) << error;
    std::vector<uint8_t> image = gif;
    ASSERT_TRUE(writer.Add("one.jpg", image, 120, 90, error)) << error;
    EXPECT_FALSE(fs::exists(indexPath)) << "the index must not appear before it is complete";
    ASSERT_TRUE(writer.Commit(error)) << error;

    EXPECT_NE(ReadWhole(indexPath).substr(kThumbnailEntryHeaderSize, 3), "GIF");
    std::vector<test::IndexEntry> entries;
    ASSERT_TRUE(test::ReadIndex(indexPath, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].image, gif);
    EXPECT_EQ(FilesIn(folder.Path()), 1u);
    EXPECT_EQ(fs::status(indexPath).permissions() & fs::perms::others_read, fs::perms::others_read);
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
        // A name too long for its field is refused and not written.
        EXPECT_FALSE(writer.Add(std::string(264, 'n') + ".jpg", image, 1, 1, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(writer.EntryCount(), 1u);
    }
    EXPECT_EQ(FilesIn(folder.Path()), 1u);
    EXPECT_EQ(ReadWhole(indexPath), "old index");

    IndexWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(folder.Child("missing/pixindex.$$$"), error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

}  // namespace
}  // namespace sarvo::pictorn
