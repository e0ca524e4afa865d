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

// The found image as a vector; empty when there is none.
std::vector<uint8_t> Find(ThumbnailIndex& index, std::string_view name) {
    size_t length = 0;
    std::unique_ptr<uint8_t[]> bytes = index.FindImage(name, length);
    return bytes ? std::vector<uint8_t>(bytes.get(), bytes.get() + length) : std::vector<uint8_t>();
}

class ThumbnailIndexTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        test::WriteWholeFile(m_path, bytes);
        return m_path;
    }

    std::vector<std::string> Names(const std::string& path) {
        std::vector<std::string> names;
        ThumbnailIndex index;
        index.Open(path);
        ThumbnailEntryHeader header;
        while (index.Next(header))
            names.push_back(header.name);
        return names;
    }

    test::TempFolder m_folder;
    std::string m_path = m_folder.Child("pixindex.$$$");
};

TEST_F(ThumbnailIndexTest, NextGivesEveryHeaderInOrderAndSkipsTheImageData) {
    // Images of different lengths, one empty, so that a skip by the wrong amount lands mid-entry.
    const std::vector<HandEntry> entries = {
        MakeEntry("first.jpg", Bytes("GIF89a.........................."), 90, 120),
        MakeEntry("second.png", {}, 1, 2),
        MakeEntry("third.bmp", Bytes("BM" + std::string(1000, 'x')), 120, 45),
    };
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(IndexBytes(entries))));
    ThumbnailEntryHeader header;
    for (const HandEntry& entry : entries) {
        SCOPED_TRACE(entry.name);
        ASSERT_TRUE(index.Next(header));
        EXPECT_EQ(header.name, entry.name);
        EXPECT_EQ(header.dataLength, entry.image.size());
        EXPECT_EQ(header.dimensionA, entry.dimensionA);
        EXPECT_EQ(header.dimensionB, entry.dimensionB);
        EXPECT_EQ(header.mask, entry.mask);
    }
    EXPECT_FALSE(index.Next(header));
    // FindImage searches from the start wherever Next left off, and Next carries on after it.
    EXPECT_EQ(Find(index, "first.jpg"), entries[0].image);
    ASSERT_TRUE(index.Next(header));
    EXPECT_EQ(header.name, "second.png");
    // Close ends reading; Open starts over.
    index.Close();
    EXPECT_FALSE(index.IsOpen());
    EXPECT_FALSE(index.Next(header));
    ASSERT_TRUE(index.Open(m_path));
    ASSERT_TRUE(index.Next(header));
    EXPECT_EQ(header.name, "first.jpg");
}

TEST_F(ThumbnailIndexTest, ShortDamagedOrMissingIndexes) {
    const std::string one = IndexBytes({MakeEntry("a.jpg", {})});
    ASSERT_EQ(one.size(), 284u);
    const std::string two = IndexBytes(test::NumberedEntries(2));
    // A header cut short, an empty index and a missing one: see the list page's golden pages.
    EXPECT_EQ(Names(Write(one)), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(Names(Write(two + one.substr(0, 100))), (std::vector<std::string>{"pic1.jpg", "pic2.jpg"}));
    EXPECT_TRUE(Names(m_folder.Path()).empty());

    ThumbnailIndex index;
    EXPECT_FALSE(index.Open(m_folder.Child("nothing here")));
    EXPECT_FALSE(index.Open(""));
    EXPECT_FALSE(index.IsOpen());
    ThumbnailEntryHeader header;
    EXPECT_FALSE(index.Next(header));
    size_t length = 99;
    EXPECT_EQ(index.FindImage("a.jpg", length), nullptr);
    EXPECT_EQ(length, 0u);
}

// The rule for bytes past the eighth (mask[0], not mask[i % 8]) only shows on images longer than
// eight bytes whose mask bytes differ, which these are.
TEST_F(ThumbnailIndexTest, FindImageUnmasksEveryByteOfTheData) {
    std::vector<uint8_t> image;
    for (int i = 0; i < 300; ++i)
        image.push_back(static_cast<uint8_t>(i * 7));
    HandEntry entry = MakeEntry("ramp.gif", image);
    entry.mask = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(
        Write(IndexBytes({MakeEntry("before.jpg", Bytes("BMxx")), entry, MakeEntry("empty.gif", {})}))));
    size_t length = 0;
    std::unique_ptr<uint8_t[]> found = index.FindImage("ramp.gif", length);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(found.get(), found.get() + length), image);
    EXPECT_EQ(found[length], 0);  // one NUL follows the image, outside its length
    found = index.FindImage("empty.gif", length);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(found[0], 0);
}

TEST_F(ThumbnailIndexTest, FindImageIgnoresCaseAndAnyFolderPartOfTheName) {
    const std::vector<HandEntry> entries = {MakeEntry("other.jpg", Bytes("BMother")),
                                            MakeEntry("photo1.jpg", Bytes("GIF89a photo one"))};
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(IndexBytes(entries))));
    for (const char* asked : {"photo1.jpg", "PHOTO1.JPG", "Photo1.Jpg", "/srv/pictures/PHOTO1.jpg",
                              "C:\\pictures\\2004\\photo1.JPG", "mixed\\dir/PhOtO1.jPg"}) {
        SCOPED_TRACE(asked);
        EXPECT_EQ(Find(index, asked), entries[1].image);
    }
    for (const char* asked : {"photo1.jp", "photo1.jpg.bak", "photo1.jpg/"}) {
        SCOPED_TRACE(asked);
        EXPECT_TRUE(Find(index, asked).empty());
    }
}

TEST_F(ThumbnailIndexTest, DataCutShortOrOverlongEndsTheSearch) {
    // The last entry's data is one byte short.
    std::vector<HandEntry> cut = test::NumberedEntries(2);
    cut.push_back(MakeEntry("cut.gif", Bytes("GIF89a" + std::string(500, 'z'))));
    const std::string whole = IndexBytes(cut);
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(Write(whole.substr(0, whole.size() - 1))));
    size_t length = 7;
    EXPECT_EQ(index.FindImage("cut.gif", length), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(Find(index, "pic2.jpg"), cut[1].image);

    // The middle entry claims more data than the rest of the file holds: it is cut short, and the
    // entries written after it can no longer be reached. A damaged huge length gives nothing either.
    std::vector<HandEntry> overlong = test::NumberedEntries(3);
    overlong[1].claimLength = true;
    overlong[1].claimedLength = 100000;
    HandEntry huge = MakeEntry("huge.gif", Bytes("GIF89a"));
    huge.claimLength = true;
    huge.claimedLength = 0xFFFFFFFFu;
    EXPECT_EQ(Names(Write(IndexBytes(overlong))), (std::vector<std::string>{"pic1.jpg", "pic2.jpg"}));
    ASSERT_TRUE(index.Open(m_path));
    EXPECT_FALSE(Find(index, "pic1.jpg").empty());
    EXPECT_TRUE(Find(index, "pic2.jpg").empty());
    EXPECT_TRUE(Find(index, "pic3.jpg").empty());
    ASSERT_TRUE(index.Open(Write(IndexBytes({huge}))));
    EXPECT_EQ(index.FindImage("huge.gif", length), nullptr);
    EXPECT_EQ(length, 0u);
}

}  // namespace
}  // namespace sarvo
