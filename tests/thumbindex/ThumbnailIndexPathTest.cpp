#include "thumbindex/ThumbnailIndexPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "platform/SpecialFolders.h"
#include "platform/Volume.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

TEST(ThumbnailIndexPathTest, FolderBelowMountPoint) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/media/cd/photos/2004", "/media/cd", "photos/2004"},
        {"/media/cd", "/media/cd", ""},
        {"/media/cdx/a", "/media/cd", "media/cdx/a"},  // a name that only starts alike
        {"/a/b", "/", "a/b"},
        {"/a/b", "", "a/b"},  // no mount table
    };
    for (const auto& [canonicalFolder, mountPoint, below] : cases)
        EXPECT_EQ(FolderBelowMountPoint(canonicalFolder, mountPoint), below)
            << canonicalFolder << " " << mountPoint;
}

TEST(ThumbnailIndexPathTest, VolumeKeyCrcIsTheStandardCrcOfTheLoweredKey) {
    EXPECT_EQ(VolumeKeyCrc("123456789"), 0xCBF43926u);
    EXPECT_EQ(VolumeKeyCrc("PHOTOS-ISO9660-2049"), VolumeKeyCrc("photos-iso9660-2049"));
    // Only A-Z are lowered; other bytes keep their value.
    EXPECT_NE(VolumeKeyCrc("\xC4"), VolumeKeyCrc("\xE4"));
}

TEST(ThumbnailIndexPathTest, WritableFolderKeepsTheIndexInTheFolder) {
    test::ScopedSarvoHome home;
    std::string folder = home.Child("pictures");
    std::filesystem::create_directories(folder);
    ASSERT_NE(GetDriveKind(folder), kDriveCdRom) << "the temporary folder lies on read-only media";
    std::string out = "stale";
    EXPECT_TRUE(ThumbnailIndexPath(folder + "/", ThumbnailCache::CreateFolders, out));
    EXPECT_EQ(out, folder + "/pixindex.$$$");
    EXPECT_FALSE(std::filesystem::exists(GetAppDataPath() + "/PIXINDEX"));

    EXPECT_FALSE(ThumbnailIndexPath("", ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, "");
}

// Names here are case-sensitive, but an index copied from a system where they are not may be spelled
// in any case; the lower-case name is preferred when both exist.
TEST(ThumbnailIndexPathTest, FindThumbnailIndexTakesTheIndexInAnyCase) {
    test::TempFolder folder;
    std::string out;
    EXPECT_TRUE(FindThumbnailIndex(folder.Path(), out));
    EXPECT_EQ(out, folder.Child("pixindex.$$$")) << "without an index, the path where it would lie";

    std::filesystem::create_directory(folder.Child("PixIndex.$$$"));
    EXPECT_TRUE(FindThumbnailIndex(folder.Path(), out));
    EXPECT_EQ(out, folder.Child("pixindex.$$$")) << "a folder is no index";

    const std::string upper = folder.WriteFile("PIXINDEX.$$$", "upper");
    EXPECT_TRUE(FindThumbnailIndex(folder.Path(), out));
    EXPECT_EQ(out, upper);

    const std::string lower = folder.WriteFile("pixindex.$$$", "lower");
    EXPECT_TRUE(FindThumbnailIndex(folder.Path(), out));
    EXPECT_EQ(out, lower);
}

}  // namespace
}  // namespace sarvo
