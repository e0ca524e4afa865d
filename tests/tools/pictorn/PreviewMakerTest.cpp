#include "PreviewMaker.h"

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "support/TempFolder.h"

namespace sarvo::pictorn {
namespace {

using test::kBlue;
using test::kRed;

TEST(MakePreview, BmpCarriesThePictureBottomUpInItsOwnColourOrder) {
    sarvo::test::TempFolder folder;
    const std::string path = folder.Child("photo.jpg");
    test::WritePicture(path, 240, 480, kRed, kBlue);
    Preview preview;
    std::string error;
    ASSERT_TRUE(MakePreview(path, PreviewEncoding::Bmp, preview, error)) << error;
    EXPECT_EQ(preview.width, 60u);
    EXPECT_EQ(preview.height, 120u);
    ASSERT_GE(preview.image.size(), 2u);
    EXPECT_EQ(preview.image[0], 'B');
    EXPECT_EQ(preview.image[1], 'M');
    const test::DecodedPicture decoded = test::DecodePicture(preview.image);
    EXPECT_EQ(decoded.width, 60);
    EXPECT_EQ(decoded.height, 120);
    // Red on the left and at the top row too: a BMP written top-down or as RGB would show it elsewhere.
    EXPECT_TRUE(decoded.Near(5, 2, kRed));
    EXPECT_TRUE(decoded.Near(55, 117, kBlue));
}

}  // namespace
}  // namespace sarvo::pictorn
