#include "platform/MountTable.h"

#include <sys/sysmacros.h>

#include <gtest/gtest.h>

namespace sarvo {
namespace {

struct LineCase {
    const char* description;
    const char* line;
    bool valid;
    unsigned major;
    unsigned minor;
    const char* mountPoint;
    const char* type;
    const char* source;
    bool readOnly;
};

TEST(MountTableTest, ParsesMountInfoLines) {
    const LineCase cases[] = {
        {"the kernel's example",
         "36 35 98:0 /root /mnt/x rw,noatime shared:1 - ext3 /dev/root rw,errors=continue", true, 98, 0,
         "/mnt/x", "ext3", "/dev/root", false},
        {"read-only mount", "40 1 11:0 / /media/cd ro,relatime - iso9660 /dev/sr0 ro", true, 11, 0,
         "/media/cd", "iso9660", "/dev/sr0", true},
        {"only the per-mount options count", "41 1 8:1 / /data rw - ext4 /dev/sda1 ro", true, 8, 1, "/data",
         "ext4", "/dev/sda1", false},
        {"an option that merely starts with ro", "42 1 8:2 / /d rox,rw - ext4 /dev/sda2 rw", true, 8, 2, "/d",
         "ext4", "/dev/sda2", false},
        {"no optional fields", "22 1 0:21 / /proc rw,nosuid - proc proc rw", true, 0, 21, "/proc", "proc",
         "proc", false},
        {"several optional fields",
         "50 1 0:45 / /srv rw shared:3 master:2 propagate_from:1 - nfs4 host:/srv rw", true, 0, 45, "/srv",
         "nfs4", "host:/srv", false},
        {"escaped blanks", "60 1 8:17 / /media/My\\040Disk rw - vfat /dev/sdb1\\040x rw", true, 8, 17,
         "/media/My Disk", "vfat", "/dev/sdb1 x", false},
        {"large device numbers", "62 1 259:1048575 / /n rw - ext4 /dev/nvme0n1p1 rw", true, 259, 1048575,
         "/n", "ext4", "/dev/nvme0n1p1", false},
        {"no separator", "36 35 98:0 /root /mnt/x rw,noatime shared:1 ext3 /dev/root rw", false, 0, 0, "", "",
         "", false},
        {"nothing after the separator but the type", "36 35 98:0 / /mnt/x rw - ext3", false, 0, 0, "", "", "",
         false},
        {"too few fields", "36 35 98:0 / /mnt", false, 0, 0, "", "", "", false},
        {"device without a colon", "36 35 98-0 / /mnt/x rw - ext3 /dev/root rw", false, 0, 0, "", "", "",
         false},
        {"relative mount point", "36 35 98:0 / mnt/x rw - ext3 /dev/root rw", false, 0, 0, "", "", "", false},
        {"empty line", "", false, 0, 0, "", "", "", false},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.description);
        MountEntry entry;
        entry.mountPoint = "untouched";
        ASSERT_EQ(ParseMountInfoLine(c.line, entry), c.valid);
        if (!c.valid) {
            EXPECT_EQ(entry.mountPoint, "untouched");
            continue;
        }
        EXPECT_EQ(entry.deviceId, makedev(c.major, c.minor));
        EXPECT_EQ(entry.mountPoint, c.mountPoint);
        EXPECT_EQ(entry.fileSystemType, c.type);
        EXPECT_EQ(entry.source, c.source);
        EXPECT_EQ(entry.readOnly, c.readOnly);
    }
}

TEST(MountTableTest, WellFormedLinesInOrderAndTheLongestWholeComponentMountWins) {
    // Lines that do not parse are left out; the order of the rest decides which mount hides which.
    std::vector<MountEntry> table = ParseMountInfo(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "garbage\n"
        "2 1 8:2 / /mnt rw - ext4 /dev/sda2 rw\n"
        "\n"
        "3 2 8:3 / /mnt/a rw - ext4 /dev/sda3 rw\n"
        "4 2 8:4 / /mnt rw - vfat /dev/sdb1 rw");
    ASSERT_EQ(table.size(), 4u);
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/dev/sda1"},        {"/etc/passwd", "/dev/sda1"}, {"/mnt", "/dev/sdb1"},
        {"/mntx", "/dev/sda1"},    {"/mnt/ab", "/dev/sdb1"},     {"/mnt/a", "/dev/sda3"},
        {"/mnt/a/b", "/dev/sda3"},
    };
    for (auto [path, source] : cases) {
        SCOPED_TRACE(path);
        const MountEntry* mount = FindMountFor(table, path);
        ASSERT_NE(mount, nullptr);
        EXPECT_EQ(mount->source, source);
    }
    EXPECT_EQ(FindMountFor({}, "/"), nullptr);
    EXPECT_EQ(FindMountFor(table, "relative"), nullptr);
}

}  // namespace
}  // namespace sarvo
