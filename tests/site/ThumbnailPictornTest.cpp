// The reader against real indexes: the built pictorn tool run over pictures made with libvips, its
// index then read back by the server's reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ThumbnailFixtures.h"
#include "site/ThumbnailImageResponse.h"
#include "site/ThumbnailIndex.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

namespace pt = pictorn::test;

struct Picture {
    std::string name;
    int width;
    int height;
    pt::Rgba left;
    pt::Rgba right;
    // The preview's size as the tool makes it: the picture fitted into 120 x 120, never enlarged.
    uint32_t previewWidth;
    uint32_t previewHeight;
};

// The images come back unmasked only if the reader undoes exactly the tool's masking: a single wrong
// byte in the GIF header or palette would fail to decode or change the colours.
TEST(ThumbnailPictorn, ToolsIndexReadsBackWithNamesSizesAndPreviews) {
    // In the order the tool writes them: by name, ignoring case.
    const std::vector<Picture> pictures = {
        {"anim.gif", 80, 40, pt::kBlue, pt::kBlue, 80, 40},
        {"Beach.PNG", 300, 150, pt::kRed, pt::kBlue, 120, 60},
        {"tower.jpg", 90, 150, pt::kBlue, pt::kRed, 72, 120},
    };
    test::TempFolder folder;
    for (const Picture& p : pictures)
        pt::WritePicture(folder.Child(p.name), p.width, p.height, p.left, p.right);
    const test::ToolRun run = test::RunTool({PICTORN_PATH, folder.Path(), "0"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    ThumbnailIndex index;
    ASSERT_TRUE(index.Open(folder.Child("pixindex.$$$")));
    ThumbnailEntryHeader header;
    for (const Picture& p : pictures) {
        SCOPED_TRACE(p.name);
        ASSERT_TRUE(index.Next(header));
        EXPECT_EQ(header.name, p.name);
        EXPECT_EQ(header.dimensionB, p.previewWidth);
        EXPECT_EQ(header.dimensionA, p.previewHeight);
    }
    EXPECT_FALSE(index.Next(header));
    for (const Picture& p : pictures) {
        SCOPED_TRACE(p.name);
        size_t length = 0;
        std::unique_ptr<uint8_t[]> image = index.FindImage(p.name, length);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(ThumbnailContentType(image.get(), length), "image/gif");
        const pt::DecodedPicture decoded = pt::DecodePicture(std::span<const uint8_t>(image.get(), length));
        EXPECT_EQ(decoded.width, static_cast<int>(p.previewWidth));
        EXPECT_EQ(decoded.height, static_cast<int>(p.previewHeight));
        EXPECT_TRUE(decoded.Near(2, decoded.height / 2, p.left));
        EXPECT_TRUE(decoded.Near(decoded.width - 3, decoded.height / 2, p.right));
    }
}

}  // namespace
}  // namespace sarvo
