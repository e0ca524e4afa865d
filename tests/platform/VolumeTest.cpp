#include "platform/Volume.h"

#include <stdlib.h>
#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

uint32_t KindFromMountFlags(const std::string& path) {
    struct statvfs volume {};
    EXPECT_EQ(::statvfs(path.c_str(), &volume), 0);
    return (volume.f_flag & ST_RDONLY) ? kDriveCdRom : kDriveFixed;
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

TEST(VolumeTest, DriveKindFollowsTheMountFlags) {
    test::TempFolder folder;
    for (const std::string& path : {std::string("/"), folder.Path()}) {
        SCOPED_TRACE(path);
        VolumeInfo info;
        ASSERT_TRUE(GetVolumeInformation(path, info));
        if (IsNetworkFileSystem(info.fileSystemType))
            GTEST_SKIP() << path << " is on a network file system (" << info.fileSystemType << ")";
        EXPECT_EQ(GetDriveKind(path), KindFromMountFlags(path));
    }
}

TEST(VolumeTest, AMissingPathIsAnsweredByItsNearestAncestor) {
    test::TempFolder folder;
    VolumeInfo existing;
    VolumeInfo missing;
    ASSERT_TRUE(GetVolumeInformation(folder.Path(), existing));
    ASSERT_TRUE(GetVolumeInformation(folder.Child("missing/deeper/file.txt"), missing));
    EXPECT_EQ(missing.key, existing.key);
    EXPECT_EQ(missing.mountPoint, existing.mountPoint);
    EXPECT_EQ(GetDriveKind(folder.Child("missing/deeper/file.txt")), GetDriveKind(folder.Path()));
}

TEST(VolumeTest, RelativePathsCountFromTheCurrentFolderButHaveNoDriveKind) {
    for (const char* path : {"", "relative/path", "."})
        EXPECT_EQ(GetDriveKind(path), kDriveUnknown) << path;
    VolumeInfo relative;
    VolumeInfo absolute;
    EXPECT_FALSE(GetVolumeInformation("", relative));
    ASSERT_TRUE(GetVolumeInformation("no-such-entry-here", relative));
    ASSERT_TRUE(GetVolumeInformation(RealPath("."), absolute));
    EXPECT_EQ(relative.key, absolute.key);
}

// The key names the thumbnail cache of a volume, so two spellings of one folder must give one key,
// and the mount point must hold the folder, since the cache path is taken below it.
TEST(VolumeTest, TheVolumeHoldsTheFolderAndKeepsOneKey) {
    test::TempFolder folder;
    VolumeInfo first;
    VolumeInfo second;
    ASSERT_TRUE(GetVolumeInformation(folder.Path(), first));
    ASSERT_TRUE(GetVolumeInformation(folder.Child("."), second));
    EXPECT_EQ(first.key, second.key);
    EXPECT_FALSE(first.label.empty());
    ASSERT_FALSE(first.mountPoint.empty());
    std::string canonical = RealPath(folder.Path());
    EXPECT_EQ(canonical.rfind(first.mountPoint == "/" ? std::string("/") : first.mountPoint + "/", 0), 0u)
        << first.mountPoint << " does not hold " << canonical;
}

TEST(VolumeTest, NetworkFileSystemsAreKnownByTypeName) {
    for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "9p"})
        EXPECT_TRUE(IsNetworkFileSystem(type)) << type;
    for (const char* type : {"ext4", "btrfs", "tmpfs", "overlay", "fuse", "nfsd", ""})
        EXPECT_FALSE(IsNetworkFileSystem(type)) << type;
}

}  // namespace
}  // namespace sarvo
