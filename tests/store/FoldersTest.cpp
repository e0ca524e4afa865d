#include "store/Folders.h"

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/StoreTest.h"

namespace sarvo {
namespace {

using FoldersTest = test::StoreTest;

TEST_F(FoldersTest, AFolderKeyWithoutValuesHasTheDefaults) {
    ASSERT_TRUE(CreateKey(Hive::CurrentUser, std::string(kFoldersKey) + "\\Bare"));
    EXPECT_TRUE(FolderExists("bare"));
    EXPECT_TRUE(IsFolderVisible("Bare"));
    EXPECT_FALSE(IsZipDownloadAllowed("Bare"));
    EXPECT_FALSE(CanBrowseSubfolders("Bare"));
    EXPECT_FALSE(CanPostFiles("Bare"));
    EXPECT_FALSE(FollowsLinks("Bare"));
    std::string location;
    EXPECT_FALSE(GetFolderLocation("Bare", location)) << "a folder without a location cannot be resolved";
    SharedFolder folder;
    ASSERT_TRUE(ReadSharedFolder("BARE", folder));
    EXPECT_EQ(folder.name, "Bare") << "the stored spelling wins";
    EXPECT_FALSE(ReadSharedFolder("Missing", folder));
}

TEST_F(FoldersTest, WrittenFoldersReadBackWholeAndEnumerateInOrder) {
    const std::string location = "/home/owner/" + std::string(188, 'm');
    SharedFolder music{"Music", "Songs", location, true, true, false, true, true};
    ASSERT_EQ(music.location.size(), 200u);
    ASSERT_TRUE(WriteSharedFolder(music));
    ASSERT_TRUE(WriteSharedFolder({"archive", "", "/srv/archive", false, false, true, false}));

    SharedFolder read;
    ASSERT_TRUE(ReadSharedFolder("Music", read));
    EXPECT_EQ(read.location, music.location);
    EXPECT_EQ(read.description, "Songs");
    EXPECT_TRUE(read.canBrowseSubfolders);
    EXPECT_TRUE(read.canPostFiles);
    EXPECT_FALSE(read.visible);
    EXPECT_TRUE(read.zipDownload);
    EXPECT_TRUE(read.followLinks);

    std::string name;
    ASSERT_TRUE(EnumFolderName(0, name));
    EXPECT_EQ(name, "archive");
    ASSERT_TRUE(EnumFolderName(1, name));
    EXPECT_EQ(name, "Music");
    EXPECT_FALSE(EnumFolderName(2, name));
}

TEST_F(FoldersTest, LimitsOfNamesAndTextsFollowTheReadersBuffers) {
    ASSERT_TRUE(SetFolderLocation(std::string(49, 'n'), "/tmp"));
    std::string name;
    EXPECT_FALSE(EnumFolderName(0, name)) << "a 49-character name does not fit 49 bytes";
    ASSERT_TRUE(SetFolderDescription("F", std::string(81, 'd')));
    std::string description;
    EXPECT_FALSE(GetFolderDescription("F", description));
    ASSERT_TRUE(SetFolderDescription("F", std::string(80, 'd')));
    EXPECT_TRUE(GetFolderDescription("F", description));
}

TEST_F(FoldersTest, RemovingAndRenamingTakeTheWholeKey) {
    ASSERT_TRUE(WriteSharedFolder({"Photos", "Pics", "/srv/photos", true, false, true, false}));
    ASSERT_TRUE(WriteNumber(Hive::CurrentUser, std::string(kFoldersKey) + "\\Photos\\extra", "x", 1));
    ASSERT_TRUE(RenameSharedFolder("Photos", {"Pictures", "Pics", "/srv/photos", true, false, true, false}));
    EXPECT_FALSE(FolderExists("Photos"));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, std::string(kFoldersKey) + "\\Photos\\extra"));
    EXPECT_TRUE(CanBrowseSubfolders("Pictures"));
    ASSERT_TRUE(RemoveFolder("pictures"));
    EXPECT_FALSE(FolderExists("Pictures"));
    std::string name;
    EXPECT_FALSE(EnumFolderName(0, name));
}

}  // namespace
}  // namespace sarvo
