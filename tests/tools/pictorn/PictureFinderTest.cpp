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
    struct Case {
        const char* name;
        bool picture;
    };
    const Case cases[] = {
        {"IMG_0001.JPG", true},  {"scan.TiFf", true},  {"a.jpeg", true},       {"b.webp", true},
        {"c.Bmp", true},         {"d.gif", true},      {"x.heic", false},      {"jpg", false},
        {".jpg", false},         {"a.jpg.txt", false}, {"a.jpgx", false},      {"a.", false},
        {"pixindex.$$$", false}, {"movie.mp4", false}, {"two.dots.png", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsPictureName(c.name, kEndings), c.picture);
    }
    const std::vector<std::string> withHeic = {"heic"};
    EXPECT_TRUE(IsPictureName("x.HEIC", withHeic));
}

TEST(PictureNameLess, IgnoresCaseAndBreaksTiesByBytes) {
    std::vector<std::string> names = {"b.jpg", "A.jpg", "a.jpg", "C.jpg", "a.JPG", "B.jpg"};
    std::sort(names.begin(), names.end(), PictureNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a.JPG", "a.jpg", "B.jpg", "b.jpg", "C.jpg"}));
}

class FindPictureFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root.WriteFile("b.JPG", "x");
        m_root.WriteFile("A.png", "x");
        m_root.WriteFile("notes.txt", "x");
        m_root.WriteFile(".hidden.jpg", "x");
        m_root.WriteFile("Zoo/z.gif", "x");
        m_root.WriteFile("art/deep/d.tif", "x");
        m_root.WriteFile(".cache/c.jpg", "x");
        fs::create_directories(m_root.Child("empty"));
        fs::create_directories(m_root.Child("folder.jpg"));
    }

    sarvo::test::TempFolder m_root;
};

TEST_F(FindPictureFoldersTest, FolderAloneListsItsPicturesSorted) {
    std::vector<std::string> problems;
    const auto folders = FindPictureFolders(m_root.Path(), SubFolders::Skip, kEndings, problems);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path, m_root.Path());
    EXPECT_EQ(folders[0].pictures, (std::vector<std::string>{"A.png", "b.JPG"}));
    EXPECT_TRUE(problems.empty());
}

TEST_F(FindPictureFoldersTest, SubFoldersDepthFirstInNameOrderWithoutHiddenOnes) {
    std::vector<std::string> problems;
    const auto folders = FindPictureFolders(m_root.Path(), SubFolders::Include, kEndings, problems);
    std::vector<std::string> paths;
    for (const auto& folder : folders) {
        paths.push_back(folder.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{m_root.Path(), m_root.Child("art"), m_root.Child("art/deep"),
                                               m_root.Child("empty"), m_root.Child("folder.jpg"),
                                               m_root.Child("Zoo")}));
    ASSERT_EQ(folders.size(), 6u);
    EXPECT_EQ(folders[2].pictures, std::vector<std::string>{"d.tif"});
    EXPECT_TRUE(folders[3].pictures.empty());
    EXPECT_TRUE(problems.empty());
}

TEST_F(FindPictureFoldersTest, LinkBackToAnAncestorIsVisitedOnce) {
    fs::create_directory_symlink(m_root.Path(), m_root.Child("art/loop"));
    std::vector<std::string> problems;
    const auto folders = FindPictureFolders(m_root.Path(), SubFolders::Include, kEndings, problems);
    EXPECT_EQ(folders.size(), 6u);
}

TEST(FindPictureFolders, MissingRootIsAProblemNotAFolder) {
    sarvo::test::TempFolder root;
    std::vector<std::string> problems;
    const auto folders = FindPictureFolders(root.Child("gone"), SubFolders::Include, kEndings, problems);
    EXPECT_TRUE(folders.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("gone"), std::string::npos);
}

}  // namespace
}  // namespace sarvo::pictorn
