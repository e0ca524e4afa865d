#include "site/ThumbnailIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ThumbnailFixtures.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::Bytes;
using test::HandEntry;
using test::IndexBytes;
using test::MakeEntry;
using test::WriteBytes;

std::vector<uint8_t> Image(const std::unique_ptr<uint8_t[]>& bytes, size_t length) {
    return bytes ? std::vector<uint8_t>(bytes.get(), bytes.get() + length) : std::vector<uint8_t>();
}

// The found image as a vector; empty when there is none.
std::vector<uint8_t> Find(ThumbnailIndex& index, std::string_view name) {
    size_t length = 0;
    std::unique_ptr<uint8_t[]> bytes = index.FindImage(name, length);
    return Image(bytes, length);
}

class ThumbnailIndexTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        const std::string path = m_folder.Child("pixindex.$$$");
        WriteBytes(path, bytes);
        return path;
    }

    std::vector<ThumbnailEntryHeader> ReadAll(const std::string& path) {
        std::vector<ThumbnailEntryHeader> headers;
        ThumbnailIndex index;
        EXPECT_TRUE(index.Open(path));
        ThumbnailEntryHeader header;
        while (index.Next(header))
            headers.push_back(header);
        return headers;
    }

    test::TempFolder m_folder;
};

TEST_F(ThumbnailIndexTest, NextGivesEveryHeaderInOrderAndSkipsTheImageData) {
    // Images of different lengths, one empty, so that a skip by the wrong amount lands mid-entry.
    const std::vector<HandEntry> entries = {
        MakeEntry("first.jpg", Bytes("GIF89a.........................."), 90, 120),
        MakeEntry("second.png", {}, 1, 2),
        MakeEntry("third.bmp", Bytes("BM" + std::string(1000, 'x')), 120, 45),
    };
    const std::vector<ThumbnailEntryHeader> headers = ReadAll(Write(IndexBytes(entries)));
    ASSERT_EQ(headers.size(), 3u);
    for (size_t i = 0; i < headers.size(); ++i) {
        SCOPED_TRACE(entries[i].name);
        EXPECT_EQ(headers[i].name, entries[i].name);
        EXPECT_EQ(headers[i].dataLength, entries[i].image.size());
        EXPECT_EQ(headers[i].dimensionA, entries[i].dimensionA);
        EXPECT_EQ(headers[i].dimensionB, entries[i].dimensionB);
        EXPECT_EQ(headers[i].mask, entries[i].mask);
    }
}

TEST_F(ThumbnailIndexTest, IndexShorterThanOneHeaderHoldsNoEntry) {
    const std::string whole = IndexBytes({MakeEntry("a.jpg", {})});
    ASSERT_EQ(whole.size(), 284u);
    EXPECT_TRUE(ReadAll(Write(whole.substr(0, 283))).empty());
    EXPECT_TRUE(ReadAll(Write("")).empty());
    EXPECT_EQ(ReadAll(Write(whole)).size(), 1u);
}

TEST_F(ThumbnailIndexTest, HeaderCutShortAfterWholeEntriesEndsTheSequence) {
    const std::string two = IndexBytes(test::NumberedEntries(2));
    const std::string third = IndexBytes({MakeEntry("third.jpg", Bytes("GIF"))});
    const std::vector<ThumbnailEntryHeader> headers = ReadAll(Write(two + third.substr(0, 100)));
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[1].name, "pic2.jpg");
}

TEST_F(ThumbnailIndexTest, MissingIndexDoesNotOpenAndHasNoEntry) {
    ThumbnailIndex index;
    EXPECT_FALSE(index.Open(m_folder.Child("nothing here")));
    EXPECT_FALSE(index.IsOpen());
    ThumbnailEntryHeader header;
    EXPECT_FALSE(index.Next(header));
    size_t length = 99;
    EXPECT_EQ(index.FindImage("a.jpg", length), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(index.Open(""));
}

// The rule for bytes past the eighth (mask[0], not mask[i % 8]) only shows on images longer than
// eight bytes whose mask bytes differ, which these are.
TEST_F(ThumbnailIndexTest, FindImageUnmasksEveryByteOfTheData) {
    std::vector<uint8_t> image;
    for (int i = 0; i < 300; ++i)
        image.push_back(static_cast<uint8_t>(i * 7));
    image[0] = 'G';
    HandEntry entry = MakeEntry("ramp.gif", image);
    entry.mask = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    const std::string path = Write(IndexBytes({MakeEntry("before.jpg", Bytes("BMxx")), entry}));

    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(path));
    size_t length = 0;
    std::unique_ptr<uint8_t[]> found = index.FindImage("ramp.gif", length);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(Image(found, length), image);
    // One NUL follows the image, outside its length.
    EXPECT_EQ(found[length], 0);
}

TEST_F(ThumbnailIndexTest, FindImageIgnoresCaseAndAnyFolderPartOfTheName) {
    const std::vector<HandEntry> entries = {MakeEntry("other.jpg", Bytes("BMother")),
                                            MakeEntry("photo1.jpg", Bytes("GIF89a photo one"))};
    const std::string path = Write(IndexBytes(entries));
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(path));
    for (const char* asked : {"photo1.jpg", "PHOTO1.JPG", "Photo1.Jpg", "/srv/pictures/PHOTO1.jpg",
                              "C:\\pictures\\2004\\photo1.JPG", "mixed\\dir/PhOtO1.jPg"}) {
        SCOPED_TRACE(asked);
        EXPECT_EQ(Find(index, asked), entries[1].image);
    }
    size_t length = 0;
    EXPECT_EQ(index.FindImage("photo1.jp", length), nullptr);
    EXPECT_EQ(index.FindImage("photo1.jpg.bak", length), nullptr);
    EXPECT_EQ(index.FindImage("photo1.jpg/", length), nullptr);
}

TEST_F(ThumbnailIndexTest, FindImageSearchesFromTheStartWhereverNextLeftOff) {
    const std::vector<HandEntry> entries = test::NumberedEntries(3);
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(IndexBytes(entries))));
    ThumbnailEntryHeader header;
    while (index.Next(header)) {
    }
    EXPECT_EQ(Find(index, "pic1.jpg"), entries[0].image);
    // Next carries on after the entry found.
    ASSERT_TRUE(index.Next(header));
    EXPECT_EQ(header.name, "pic2.jpg");
}

TEST_F(ThumbnailIndexTest, EntryWhoseDataIsCutShortEndsTheSearchWithNoImage) {
    std::vector<HandEntry> entries = test::NumberedEntries(2);
    entries.push_back(MakeEntry("cut.gif", Bytes("GIF89a" + std::string(500, 'z'))));
    const std::string whole = IndexBytes(entries);
    const std::string path = Write(whole.substr(0, whole.size() - 1));
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(path));
    size_t length = 7;
    EXPECT_EQ(index.FindImage("cut.gif", length), nullptr);
    EXPECT_EQ(length, 0u);
    // The entries before it are still found.
    EXPECT_NE(index.FindImage("pic2.jpg", length), nullptr);
    EXPECT_EQ(length, entries[1].image.size());
}

TEST_F(ThumbnailIndexTest, LengthRunningPastTheEndCutsTheEntryAndHidesTheOnesBehindIt) {
    // The middle entry claims more data than the rest of the file holds: it is cut short, and the
    // entries written after it can no longer be reached.
    std::vector<HandEntry> entries = test::NumberedEntries(3);
    entries[1].claimLength = true;
    entries[1].claimedLength = 100000;
    const std::string path = Write(IndexBytes(entries));
    const std::vector<ThumbnailEntryHeader> headers = ReadAll(path);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[1].name, "pic2.jpg");
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(path));
    size_t length = 0;
    EXPECT_EQ(index.FindImage("pic2.jpg", length), nullptr);
    EXPECT_EQ(index.FindImage("pic3.jpg", length), nullptr);
    EXPECT_NE(index.FindImage("pic1.jpg", length), nullptr);
}

TEST_F(ThumbnailIndexTest, DamagedHugeLengthGivesNoImage) {
    HandEntry entry = MakeEntry("huge.gif", Bytes("GIF89a"));
    entry.claimLength = true;
    entry.claimedLength = 0xFFFFFFFFu;
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(IndexBytes({entry}))));
    size_t length = 0;
    EXPECT_EQ(index.FindImage("huge.gif", length), nullptr);
    EXPECT_EQ(length, 0u);
}

TEST_F(ThumbnailIndexTest, EmptyImageIsFoundWithLengthZero) {
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(IndexBytes({MakeEntry("empty.gif", {})}))));
    size_t length = 5;
    std::unique_ptr<uint8_t[]> found = index.FindImage("empty.gif", length);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(found[0], 0);
}

TEST_F(ThumbnailIndexTest, CloseEndsReadingAndOpenStartsOver) {
    const std::string path = Write(IndexBytes(test::NumberedEntries(2)));
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(path));
    EXPECT_EQ(index.Path(), path);
    ThumbnailEntryHeader header;
    ASSERT_TRUE(index.Next(header));
    index.Close();
    EXPECT_FALSE(index.IsOpen());
    EXPECT_FALSE(index.Next(header));
    ASSERT_TRUE(index.Open(path));
    ASSERT_TRUE(index.Next(header));
    EXPECT_EQ(header.name, "pic1.jpg");
}

TEST_F(ThumbnailIndexTest, FolderGivenAsTheIndexHoldsNoEntry) {
    ThumbnailIndex index;
    index.Open(m_folder.Path());
    ThumbnailEntryHeader header;
    EXPECT_FALSE(index.Next(header));
    size_t length = 0;
    EXPECT_EQ(index.FindImage("a.jpg", length), nullptr);
}

}  // namespace
}  // namespace sarvo
