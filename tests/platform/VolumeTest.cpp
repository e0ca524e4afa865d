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

TEST(VolumeTest, RelativeAndEmptyPathsHaveNoDriveKind) {
    EXPECT_EQ(GetDriveKind(""), kDriveUnknown);
    EXPECT_EQ(GetDriveKind("relative/path"), kDriveUnknown);
    EXPECT_EQ(GetDriveKind("."), kDriveUnknown);
    VolumeInfo info;
    EXPECT_FALSE(GetVolumeInformation("", info));
}

TEST(VolumeTest, ARelativePathCountsFromTheCurrentFolder) {
    VolumeInfo relative;
    VolumeInfo absolute;
    ASSERT_TRUE(GetVolumeInformation("no-such-entry-here", relative));
    ASSERT_TRUE(GetVolumeInformation(RealPath("."), absolute));
    EXPECT_EQ(relative.key, absolute.key);
}

TEST(VolumeTest, TheVolumeDescribesItsMountAndKeepsOneKey) {
    test::TempFolder folder;
    VolumeInfo first;
    VolumeInfo second;
    ASSERT_TRUE(GetVolumeInformation(folder.Path(), first));
    ASSERT_TRUE(GetVolumeInformation(folder.Child("."), second));
    EXPECT_EQ(first.key, second.key);

    struct statvfs volume {};
    ASSERT_EQ(::statvfs(folder.Path().c_str(), &volume), 0);
    EXPECT_EQ(first.maxNameLength, volume.f_namemax);
    EXPECT_EQ(first.flags, static_cast<uint32_t>(volume.f_flag));
    EXPECT_EQ(first.readOnly, (volume.f_flag & ST_RDONLY) != 0);
    EXPECT_FALSE(first.fileSystemType.empty());
    EXPECT_FALSE(first.label.empty());
    ASSERT_FALSE(first.mountPoint.empty());
    std::string canonical = RealPath(folder.Path());
    EXPECT_EQ(canonical.rfind(first.mountPoint == "/" ? std::string("/") : first.mountPoint + "/", 0), 0u)
        << first.mountPoint << " does not hold " << canonical;
    EXPECT_EQ(first.key, first.label + "-" + first.fileSystemType + "-" + std::to_string(first.deviceId) +
                             "-" + std::to_string(first.maxNameLength) + "-" + std::to_string(first.flags));
}

TEST(VolumeTest, NetworkFileSystemsAreKnownByTypeName) {
    for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "9p"})
        EXPECT_TRUE(IsNetworkFileSystem(type)) << type;
    for (const char* type : {"ext4", "btrfs", "tmpfs", "overlay", "fuse", "nfsd", ""})
        EXPECT_FALSE(IsNetworkFileSystem(type)) << type;
}

}  // namespace
}  // namespace sarvo
