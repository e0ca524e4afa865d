#include "PictureFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace sarvo::pictorn {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEndings = {"jpg", "jpeg", "png", "gif", "bmp", "webp", "tif", "tiff"};

TEST(IsPictureName, GoesByTheEndingInAnyCase) {
    for (const char* name : {"IMG_0001.JPG", "scan.TiFf", "a.jpeg", "b.webp", "c.Bmp", "two.dots.png"}) {
        EXPECT_TRUE(IsPictureName(name, kEndings)) << name;
    }
    for (const char* name : {"x.heic", "jpg", ".jpg", "a.jpg.txt", "a.jpgx", "a.", "pixindex.$$$"}) {
        EXPECT_FALSE(IsPictureName(name, kEndings)) << name;
    }
    const std::vector<std::string> withHeic = {"heic"};
    EXPECT_TRUE(IsPictureName("x.HEIC", withHeic));
}

TEST(PictureNameLess, IgnoresCaseAndBreaksTiesByBytes) {
    std::vector<std::string> names = {"b.jpg", "A.jpg", "a.jpg", "C.jpg", "a.JPG", "B.jpg"};
    std::sort(names.begin(), names.end(), PictureNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a.JPG", "a.jpg", "B.jpg", "b.jpg", "C.jpg"}));
}

TEST(FindPictureFolders, ListsSortedPicturesDepthFirstWithoutHiddenOnesAndVisitsALoopOnce) {
    sarvo::test::TempFolder root;
    for (const char* name :
         {"b.JPG", "A.png", "notes.txt", ".hidden.jpg", "Zoo/z.gif", "art/deep/d.tif", ".cache/c.jpg"}) {
        root.WriteFile(name, "x");
    }
    fs::create_directories(root.Child("empty"));
    fs::create_directories(root.Child("folder.jpg"));
    fs::create_directory_symlink(root.Path(), root.Child("art/loop"));

    std::vector<std::string> problems;
    const auto folders = FindPictureFolders(root.Path(), SubFolders::Include, kEndings, problems);
    std::vector<std::string> paths;
    for (const auto& folder : folders) {
        paths.push_back(folder.path);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{root.Path(), root.Child("art"), root.Child("art/deep"),
                                        root.Child("empty"), root.Child("folder.jpg"), root.Child("Zoo")}));
    ASSERT_EQ(folders.size(), 6u);
    EXPECT_EQ(folders[0].pictures, (std::vector<std::string>{"A.png", "b.JPG"}));
    EXPECT_EQ(folders[2].pictures, std::vector<std::string>{"d.tif"});
    EXPECT_TRUE(folders[3].pictures.empty());
    EXPECT_TRUE(problems.empty());
}

}  // namespace
}  // namespace sarvo::pictorn
