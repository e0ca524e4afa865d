// The reader against real indexes: the built pictorn tool run over pictures made with libvips, its
// index then read back by the server's reader and pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestPictures.h"
#include "server/HttpResponse.h"
#include "site/ThumbnailImageResponse.h"
#include "site/ThumbnailIndex.h"
#include "site/ThumbnailListPage.h"
#include "store/Folders.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using pictorn::test::ColourNear;
using pictorn::test::DecodedPicture;
using pictorn::test::DecodePicture;
using pictorn::test::kBlue;
using pictorn::test::kRed;
using pictorn::test::WritePicture;

const std::string kPictorn = PICTORN_PATH;

struct Picture {
    std::string name;
    int width;
    int height;
    pictorn::test::Rgba left;
    pictorn::test::Rgba right;
    // The preview's size as the tool makes it: the picture fitted into 120 x 120, never enlarged.
    uint32_t previewWidth;
    uint32_t previewHeight;
};

// In the order the tool writes them: by name, ignoring case.
const std::vector<Picture> kPictures = {
    {"anim.gif", 80, 40, kBlue, kBlue, 80, 40},
    {"Beach.PNG", 300, 150, kRed, kBlue, 120, 60},
    {"tower.jpg", 90, 150, kBlue, kRed, 72, 120},
};

class ThumbnailPictornTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = m_home.Child("photos");
        std::filesystem::create_directories(m_folder);
        for (const Picture& picture : kPictures)
            ASSERT_TRUE(WritePicture(m_folder + "/" + picture.name, picture.width, picture.height,
                                     picture.left, picture.right));
        const pictorn::test::ChildResult run =
            pictorn::test::RunChild({kPictorn, m_folder, "0"}, m_scratch.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        m_index = m_folder + "/pixindex.$$$";
        ASSERT_TRUE(std::filesystem::exists(m_index));
    }

    test::ScopedSarvoHome m_home;
    test::TempFolder m_scratch;
    std::string m_folder;
    std::string m_index;
};

TEST_F(ThumbnailPictornTest, NextReadsTheToolsEntriesWithNamesAndSizes) {
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(m_index));
    ThumbnailEntryHeader header;
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.name);
        ASSERT_TRUE(index.Next(header));
        EXPECT_EQ(header.name, picture.name);
        EXPECT_EQ(header.dimensionB, picture.previewWidth);
        EXPECT_EQ(header.dimensionA, picture.previewHeight);
        EXPECT_GT(header.dataLength, 0u);
    }
    EXPECT_FALSE(index.Next(header));
}

// The images come back unmasked only if the reader undoes exactly the tool's masking: a single wrong
// byte in the GIF header or palette would fail to decode or change the colours.
TEST_F(ThumbnailPictornTest, FindImageGivesPreviewsThatDecodeToThePictures) {
    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(m_index));
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.name);
        size_t length = 0;
        std::unique_ptr<uint8_t[]> image = index.FindImage(picture.name, length);
        ASSERT_NE(image, nullptr);
        ASSERT_GT(length, 6u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.get()), 6).substr(0, 4), "GIF8");
        EXPECT_EQ(ThumbnailContentType(image.get(), length), "image/gif");
        DecodedPicture decoded;
        ASSERT_TRUE(DecodePicture(std::span<const uint8_t>(image.get(), length), decoded));
        EXPECT_EQ(decoded.width, static_cast<int>(picture.previewWidth));
        EXPECT_EQ(decoded.height, static_cast<int>(picture.previewHeight));
        EXPECT_TRUE(ColourNear(decoded.At(2, decoded.height / 2), picture.left));
        EXPECT_TRUE(ColourNear(decoded.At(decoded.width - 3, decoded.height / 2), picture.right));
    }
}

TEST_F(ThumbnailPictornTest, ListPageShowsEveryPreviewWithItsSize) {
    HttpResponse response;
    BuildThumbnailListPage(response, m_index);
    const std::string page(response.BodyText());
    EXPECT_NE(page.find("<td width=\"120\" class=\"pic\"><a href=\"./Beach.PNG\" target=\"_blank\"><img "
                        "src=\"./Beach.PNG?thumbnail\"></a></td>"),
              std::string::npos);
    EXPECT_NE(page.find("<div>anim.gif<br>80 x 40<br>&nbsp;</div>"), std::string::npos);
    EXPECT_NE(page.find("<div>Beach.PNG<br>120 x 60<br>&nbsp;</div>"), std::string::npos);
    EXPECT_NE(page.find("<div>tower.jpg<br>72 x 120<br>&nbsp;</div>"), std::string::npos);
    // Three entries: one row of pictures with three empty cells, as the description has it.
    size_t empty = 0;
    for (size_t at = page.find("<td width=\"120\">&nbsp;</td>"); at != std::string::npos;
         at = page.find("<td width=\"120\">&nbsp;</td>", at + 1))
        ++empty;
    EXPECT_EQ(empty, 6u);
}

TEST_F(ThumbnailPictornTest, ImageResponseForTheSharedPictureCarriesTheToolsPreview) {
    SharedFolder folder;
    folder.name = "photos";
    folder.location = m_folder;
    ASSERT_TRUE(WriteSharedFolder(folder));

    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(m_index));
    size_t length = 0;
    std::unique_ptr<uint8_t[]> expected = index.FindImage("tower.jpg", length);
    ASSERT_NE(expected, nullptr);

    ThumbnailImageResponse exact;
    exact.BuildThumbnailImage("/photos/tower.jpg");
    ASSERT_EQ(exact.BodyLength(), length);
    EXPECT_NE(exact.HeaderText().find("Content-Type: image/gif\r\n"), std::string_view::npos);
    std::string body(length, '\0');
    EXPECT_EQ(exact.ReadBody(body.data(), body.size()), length);
    EXPECT_EQ(body, std::string(reinterpret_cast<const char*>(expected.get()), length));
    EXPECT_EQ(exact.ReadBody(body.data(), body.size()), 0u);
}

}  // namespace
}  // namespace sarvo
