#include "platform/Volume.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <memory>

#include "platform/MountTable.h"

namespace sarvo {
namespace {

constexpr char kLabelFolder[] = "/dev/disk/by-label";

constexpr std::string_view kNetworkFileSystems[] = {
    "nfs",        "nfs4", "cifs", "smb3", "smbfs",          "sshfs",
    "fuse.sshfs", "9p",   "afs",  "ceph", "fuse.glusterfs", "davfs",
};

std::string CanonicalPath(const std::string& path) {
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::string ParentPath(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The path itself when it exists, else its nearest existing ancestor; "" when even the top (the root
// or the current folder) cannot be examined. Each step removes one component, so the walk ends.
std::string NearestExistingPath(const std::string& path) {
    std::string candidate = path;
    for (;;) {
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0)
            return candidate;
        std::string parent = ParentPath(candidate);
        if (parent == candidate)
            return std::string();
        candidate = parent;
    }
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// udev writes unsafe characters of a label as \xHH ("My\x20Disk").
std::string DecodeUdevName(std::string_view name) {
    std::string result;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && IsHexDigit(name[i + 2]) &&
            IsHexDigit(name[i + 3])) {
            result.push_back(static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3])));
            i += 3;
        } else {
            result.push_back(name[i]);
        }
    }
    return result;
}

struct FolderCloser {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

std::string LabelOfDevice(const std::string& device) {
    if (device.rfind("/dev/", 0) != 0)
        return std::string();
    std::string target = CanonicalPath(device);
    if (target.empty())
        return std::string();
    std::unique_ptr<DIR, FolderCloser> folder(::opendir(kLabelFolder));
    if (!folder)
        return std::string();
    while (const dirent* entry = ::readdir(folder.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (CanonicalPath(std::string(kLabelFolder) + "/" + name) == target)
            return DecodeUdevName(name);
    }
    return std::string();
}

std::string MakeVolumeKey(const VolumeInfo& info) {
    char numbers[80];
    std::snprintf(numbers, sizeof numbers, "-%llu-%lu-%lu", static_cast<unsigned long long>(info.deviceId),
                  static_cast<unsigned long>(info.maxNameLength), static_cast<unsigned long>(info.flags));
    return info.label + "-" + info.fileSystemType + numbers;
}

}  // namespace

bool IsNetworkFileSystem(std::string_view fileSystemType) {
    for (std::string_view name : kNetworkFileSystems) {
        if (fileSystemType == name)
            return true;
    }
    return false;
}

bool GetVolumeInformation(const std::string& path, VolumeInfo& out) {
    if (path.empty())
        return false;
    std::string existing = NearestExistingPath(path);
    if (existing.empty())
        return false;
    std::string canonical = CanonicalPath(existing);
    struct statvfs volume {};
    struct stat info {};
    if (canonical.empty() || ::statvfs(canonical.c_str(), &volume) != 0 ||
        ::stat(canonical.c_str(), &info) != 0)
        return false;

    VolumeInfo result;
    result.maxNameLength = static_cast<uint32_t>(volume.f_namemax);
    result.flags = static_cast<uint32_t>(volume.f_flag);
    result.readOnly = (volume.f_flag & ST_RDONLY) != 0;
    result.deviceId = info.st_dev;
    // Without a readable mount table the volume still answers; it just has no names.
    std::vector<MountEntry> table = ReadMountTable();
    if (const MountEntry* mount = FindMountFor(table, canonical)) {
        result.mountPoint = mount->mountPoint;
        result.device = mount->source;
        result.fileSystemType = mount->fileSystemType;
        result.deviceId = mount->deviceId;
        result.readOnly = result.readOnly || mount->readOnly;
    }
    result.label = LabelOfDevice(result.device);
    if (result.label.empty())
        result.label = result.device;
    result.key = MakeVolumeKey(result);
    out = std::move(result);
    return true;
}

uint32_t GetDriveKind(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return kDriveUnknown;
    VolumeInfo volume;
    if (!GetVolumeInformation(path, volume))
        return kDriveNoRootDir;
    if (volume.readOnly)
        return kDriveCdRom;
    if (IsNetworkFileSystem(volume.fileSystemType))
        return kDriveRemote;
    return kDriveFixed;
}

}  // namespace sarvo
