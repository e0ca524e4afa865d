#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The volume (mount) that holds a path, standing in for a drive's volume information and drive type.
// The mount table is read from /proc/self/mountinfo at each call, so a mount made while the program
// runs is seen at once, as a newly inserted medium would be.
namespace sarvo {

inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdRom = 5;
inline constexpr uint32_t kDriveRamDisk = 6;

struct VolumeInfo {
    std::string mountPoint;
    std::string device;          // the mount source: "/dev/sda1", "tmpfs", "server:/export"
    std::string fileSystemType;  // "ext4", "nfs4", "fuse.sshfs"
    std::string label;           // the file system label, or the device when it has none
    uint64_t deviceId = 0;       // major and minor number of the mount (st_dev form)
    uint32_t maxNameLength = 0;  // longest file name component
    uint32_t flags = 0;          // statvfs f_flag bits (ST_RDONLY, ST_NOSUID, ...)
    bool readOnly = false;
    // "label-type-deviceId-maxNameLength-flags" (numbers in decimal): one text that stays the same for
    // the same volume across calls and runs, for caches keyed by volume.
    std::string key;
};

// False ("drive not ready") when the volume cannot be queried. A path that does not exist is answered
// for its nearest existing ancestor, as a drive's root answers for any path on the drive; a relative
// path counts from the current folder.
bool GetVolumeInformation(const std::string& path, VolumeInfo& out);

// kDriveUnknown for an empty or relative path; kDriveNoRootDir when the volume cannot be queried;
// kDriveCdRom for any read-only mount (nothing can be written next to its files, which is what the
// callers ask); kDriveRemote for network file systems; otherwise kDriveFixed. Removable disks and RAM
// disks are not told apart from fixed ones: no caller treats them differently.
uint32_t GetDriveKind(const std::string& path);

// Network file systems by their mountinfo type name.
bool IsNetworkFileSystem(std::string_view fileSystemType);

}  // namespace sarvo
