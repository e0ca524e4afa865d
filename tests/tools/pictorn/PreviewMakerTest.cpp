#include "PreviewMaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "TestPictures.h"
#include "support/TempFolder.h"

namespace sarvo::pictorn {
namespace {

using test::kBlue;
using test::kRed;

class PreviewMakerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureVips(); }

    sarvo::test::TempFolder m_folder;
};

TEST_F(PreviewMakerTest, WidePictureFitsTheBoxByItsWidth) {
    const std::string path = m_folder.Child("wide.png");
    ASSERT_TRUE(test::WritePicture(path, 1000, 250, kRed, kBlue));
    Preview preview;
    std::string error;
    ASSERT_TRUE(MakePreview(path, PreviewEncoding::Gif, preview, error)) << error;
    EXPECT_EQ(preview.width, 120u);
    EXPECT_EQ(preview.height, 30u);
    EXPECT_EQ(preview.encoding, PreviewEncoding::Gif);
    test::DecodedPicture decoded;
    ASSERT_TRUE(test::DecodePicture(preview.image, decoded));
    EXPECT_EQ(decoded.width, 120);
    EXPECT_EQ(decoded.height, 30);
    EXPECT_TRUE(test::ColourNear(decoded.At(10, 15), kRed));
    EXPECT_TRUE(test::ColourNear(decoded.At(110, 15), kBlue));
}

TEST_F(PreviewMakerTest, BmpCarriesTheSamePictureInItsOwnColourOrder) {
    const std::string path = m_folder.Child("photo.jpg");
    ASSERT_TRUE(test::WritePicture(path, 240, 480, kRed, kBlue));
    Preview preview;
    std::string error;
    ASSERT_TRUE(MakePreview(path, PreviewEncoding::Bmp, preview, error)) << error;
    EXPECT_EQ(preview.encoding, PreviewEncoding::Bmp);
    EXPECT_EQ(preview.width, 60u);
    EXPECT_EQ(preview.height, 120u);
    ASSERT_GE(preview.image.size(), 2u);
    EXPECT_EQ(preview.image[0], 'B');
    EXPECT_EQ(preview.image[1], 'M');
    test::DecodedPicture decoded;
    ASSERT_TRUE(test::DecodePicture(preview.image, decoded));
    EXPECT_EQ(decoded.width, 60);
    EXPECT_EQ(decoded.height, 120);
    // Red on the left and at the top row too: a BMP written top-down or as RGB would show it elsewhere.
    EXPECT_TRUE(test::ColourNear(decoded.At(5, 2), kRed));
    EXPECT_TRUE(test::ColourNear(decoded.At(55, 117), kBlue));
}

TEST_F(PreviewMakerTest, FileThatIsNoPictureFailsWithAReason) {
    const std::string path = m_folder.WriteFile("fake.jpg", std::string(2000, '\x55'));
    Preview preview;
    std::string error;
    EXPECT_FALSE(MakePreview(path, PreviewEncoding::Gif, preview, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PreviewMakerTest, TruncatedJpegFailsOrStillFitsTheBox) {
    // A JPEG cut in its middle: libvips may decode the part that is there. Either outcome is
    // acceptable; a crash or an oversized preview is not.
    const std::string path = m_folder.Child("cut.jpg");
    ASSERT_TRUE(test::WritePicture(path, 800, 600, kRed, kBlue));
    std::filesystem::resize_file(path, 400);
    Preview preview;
    std::string error;
    if (MakePreview(path, PreviewEncoding::Gif, preview, error)) {
        EXPECT_LE(std::max(preview.width, preview.height), 120u);
    } else {
        EXPECT_FALSE(error.empty());
    }
}

TEST(ReadablePictureEndings, IncludesTheFormatsEveryBuildOfLibvipsReads) {
    test::EnsureVips();
    const auto endings = ReadablePictureEndings();
    for (const char* ending : {"jpg", "jpeg", "png", "gif", "tif", "tiff"}) {
        EXPECT_NE(std::find(endings.begin(), endings.end(), ending), endings.end()) << ending;
    }
}

}  // namespace
}  // namespace sarvo::pictorn
