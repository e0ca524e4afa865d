#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The lines of /proc/self/mountinfo, parsed as text so that the rules can be tested on any table.
namespace sarvo {

inline constexpr char kMountInfoPath[] = "/proc/self/mountinfo";

struct MountEntry {
    uint64_t deviceId = 0;  // makedev(major, minor)
    std::string mountPoint;
    std::string fileSystemType;
    std::string source;
    bool readOnly = false;  // the per-mount "ro" option
};

// One line: "36 35 98:0 /root /mnt/x rw,noatime shared:1 - ext3 /dev/root rw,errors=continue".
// Octal escapes (\040 for a blank) in the mount point and source are decoded. False for a line that
// does not have that shape.
bool ParseMountInfoLine(std::string_view line, MountEntry& out);

// Every well-formed line of the text; malformed ones are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The table of this process, or an empty one when it cannot be read.
std::vector<MountEntry> ReadMountTable();

// The mount whose mount point is the longest whole-component prefix of the absolute, canonical path
// ("/mnt" holds "/mnt/a" but not "/mntx"). Of equal mount points the later one wins: it is mounted on
// top and hides the earlier. Null when none fits.
const MountEntry* FindMountFor(const std::vector<MountEntry>& table, std::string_view canonicalPath);

}  // namespace sarvo
