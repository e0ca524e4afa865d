#include "server/PathResolver.h"

#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/Format.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/SpecialFolders.h"
#include "platform/Volume.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"
#include "thumbindex/ThumbnailIndexPath.h"

namespace sarvo {
namespace {

std::string Canonical(const std::string& path) {
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

FileTime ModificationTime(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return FileTimeFromTimespec(info.st_mtim);
}

bool ShareFolder(const std::string& name, const std::string& location, const std::string& description = "") {
    SharedFolder folder;
    folder.name = name;
    folder.location = location;
    folder.description = description;
    folder.canBrowseSubfolders = true;
    return WriteSharedFolder(folder);
}

// The home holds the shared folder "shared" (published as "share") and, beside it, a secret file
// that no request may reach.
class PathResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = m_home.Child("shared");
        m_home.WriteFile("secret.txt", "top secret");
        m_home.WriteFile("shared/a.txt", "alpha");
        m_home.WriteFile("shared/sub/b.txt", "beta");
        m_home.WriteFile("shared/.../dots.txt", "dots");
        m_home.WriteFile("shared/Album One/track.mp3", std::string(5000, 'm'));
        ASSERT_TRUE(ShareFolder("share", m_folder, "Holiday pictures"));
    }

    test::ScopedSarvoHome m_home;
    std::string m_folder;
};

TEST_F(PathResolverTest, RootSpellings) {
    for (const char* request : {"/", "//", "/ ", "/%20", "%20/", "///\t"}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::Root);
        EXPECT_TRUE(path.found);
        EXPECT_EQ(path.diskPath, "");
        EXPECT_EQ(path.entityTag, "");
    }
}

TEST_F(PathResolverTest, RootCarriesTheHomePageFile) {
    std::string file = m_home.WriteFile("home.html", "<p>hello</p>");
    ASSERT_TRUE(SetHomePageFile(file));
    ASSERT_TRUE(SetHomePageType(1));
    ResolvedPath path = ResolvePath("/");
    EXPECT_EQ(path.kind, PathKind::Root);
    EXPECT_EQ(path.diskPath, file);
    EXPECT_EQ(path.findData.size, 12u);
    EXPECT_EQ(path.findData.lastWriteTime, ModificationTime(file));
    EXPECT_EQ(path.entityTag.substr(0, 4), "\"c0-");
    ASSERT_TRUE(SetHomePageType(0));
    EXPECT_EQ(ResolvePath("/").diskPath, "");
}

TEST_F(PathResolverTest, FoldersAndFilesTable) {
    const struct {
        const char* request;
        PathKind kind;
        const char* rest;           // nullptr: not checked
        const char* lastComponent;  // nullptr: not checked
        const char* below;          // the disk path below the shared folder
    } cases[] = {
        {"/share", PathKind::SharedFolderDir, nullptr, nullptr, ""},
        {"/SHARE/", PathKind::SharedFolderDir, "", "SHARE", ""},
        {"/Share//", PathKind::SharedFolderDir, nullptr, nullptr, ""},
        {"/share\\", PathKind::SharedFolderDir, nullptr, nullptr, ""},
        {"\\share", PathKind::SharedFolderDir, nullptr, nullptr, ""},
        {"/share/.", PathKind::SharedFolderDir, nullptr, nullptr, ""},
        {"/share/sub/", PathKind::SharedFolderDir, "sub", "sub", "/sub"},
        {"/share/Album%20One/track.mp3", PathKind::SharedFolderFile, "Album One/track.mp3", "track.mp3",
         "/Album One/track.mp3"},
        // The rest keeps backslashes while the disk path uses slashes.
        {"/share/sub%5cb.txt", PathKind::SharedFolderFile, "sub\\b.txt", "b.txt", "/sub/b.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        ResolvedPath path = ResolvePath(c.request);
        EXPECT_EQ(path.kind, c.kind);
        EXPECT_TRUE(path.found);
        EXPECT_FALSE(path.escapesFolder);
        if (c.rest) {
            EXPECT_EQ(path.rest, c.rest);
            EXPECT_EQ(path.lastComponent, c.lastComponent);
        }
        EXPECT_EQ(path.diskPath, m_folder + c.below);
        if (!*c.below) {
            EXPECT_EQ(path.title, "Holiday pictures");
        }
        EXPECT_EQ(path.entityTag, MakeEntityTag(path.findData));
    }
    EXPECT_EQ(ResolvePath("/share/Album%20One/track.mp3").findData.size, 5000u);
}

// A folder whose location is gone or empty must not turn into the file system's root.
TEST_F(PathResolverTest, MissingTargetsAreNotFound) {
    ASSERT_TRUE(ShareFolder("gone", m_home.Child("no-such-folder")));
    ASSERT_TRUE(ShareFolder("empty", ""));
    for (const char* request :
         {"", " ", "%20", "%09%0d%0a", "/share/missing.txt", "/share/sub/missing/deeper", "/nothing",
          "/nothing/a.txt", "\\", "/share/a.txt/x", "/gone", "/gone/a.txt", "/empty", "/empty/etc/passwd"}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::NotFound);
        EXPECT_FALSE(path.found);
        EXPECT_FALSE(path.escapesFolder);
        EXPECT_EQ(path.entityTag, "");
    }
}

struct ServiceCase {
    const char* request;
    PathKind kind;
    const char* title;
    const char* rest;
};

TEST_F(PathResolverTest, ServicesComeBeforeFoldersOfTheSameName) {
    ASSERT_TRUE(ShareFolder("Guestbook", m_folder));
    ASSERT_TRUE(ShareFolder("webchat", m_folder));
    const ServiceCase cases[] = {
        {"/Guestbook/a.txt", PathKind::GuestbookPath, "You can drop a message here", "a.txt"},
        {"/guestbook", PathKind::GuestbookPath, "You can drop a message here", ""},
        {"/WEBCHAT/input.htm", PathKind::WebchatPath, "Sarvo Chat Room", "input.htm"},
        {"/webcommunity/login", PathKind::CommunityPath, "Web Community Members", "login"},
        {"/WebCommunity/../x", PathKind::CommunityPath, "Web Community Members", "../x"},
    };
    for (const ServiceCase& c : cases) {
        SCOPED_TRACE(c.request);
        ResolvedPath path = ResolvePath(c.request);
        EXPECT_EQ(path.kind, c.kind);
        EXPECT_TRUE(path.found);
        EXPECT_EQ(path.title, c.title);
        EXPECT_EQ(path.rest, c.rest);
        EXPECT_EQ(path.diskPath, "");
        EXPECT_EQ(path.entityTag, "");
    }
}

TEST_F(PathResolverTest, PublishedFileResolvesOnlyWithoutARest) {
    std::string file = m_home.WriteFile("elsewhere/notes.txt", "0123456789");
    PublishedFileRecord record;
    record.path = file;
    ASSERT_TRUE(SetPublishedFile("notes.txt", record));
    ResolvedPath path = ResolvePath("/notes.txt");
    EXPECT_EQ(path.kind, PathKind::PublishedFile);
    EXPECT_EQ(path.diskPath, file);
    EXPECT_EQ(path.findData.size, 10u);
    EXPECT_EQ(path.entityTag, MakeEntityTag(path.findData));
    EXPECT_EQ(ResolvePath("/notes.txt/x").kind, PathKind::NotFound);
    EXPECT_EQ(ResolvePath("/notes.txt/..").kind, PathKind::NotFound);
    ASSERT_TRUE(std::filesystem::remove(file));
    EXPECT_EQ(ResolvePath("/notes.txt").kind, PathKind::NotFound);
}

TEST_F(PathResolverTest, LengthLimitsOfTheFirstSegmentAndTheRest) {
    // The first segment may be as long as the longest published name, which the home page links.
    PublishedFileRecord record;
    record.path = m_home.WriteFile("report.pdf", "x");
    const std::string longest(kPublishedNameMax, 'n');
    ASSERT_TRUE(SetPublishedFile(longest, record));
    EXPECT_EQ(ResolvePath("/" + longest).kind, PathKind::PublishedFile);
    EXPECT_EQ(ResolvePath("/" + longest + "n").kind, PathKind::NotFound);

    // The rest is counted after decoding, so an escaped rest may be longer on the wire.
    const std::string name(250, 'f');
    m_home.WriteFile("shared/sub/" + name, "x");
    EXPECT_EQ(ResolvePath("/share/sub%2F" + name).kind, PathKind::SharedFolderFile);
    EXPECT_EQ(ResolvePath("/share/" + std::string(kMaxRestLength + 1, 'f')).kind, PathKind::NotFound);
}

// The listing shows an index written on a system whose names ignore case; its link must lead to it.
TEST_F(PathResolverTest, ThumbnailIndexInTheFolderItselfInAnyCase) {
    std::string index = m_home.WriteFile("shared/sub/PixIndex.$$$", "upper");
    for (const char* request : {"/share/sub/PixIndex.$$$", "/share/sub/pixindex.$$$",
                                "/share/sub/PIXINDEX.$$$", "/share/sub/pixindex.%24%24%24"}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::ThumbnailIndex);
        EXPECT_EQ(path.diskPath, index);
        EXPECT_EQ(path.findData.size, 5u);
    }
    // The top folder has no index of its own.
    EXPECT_EQ(ResolvePath("/share/pixindex.$$$").kind, PathKind::NotFound);
}

TEST(EntityTagTest, FormatOfSizeAndTimeHalves) {
    struct Case {
        const char* description;
        uint64_t size;
        uint64_t ticks;
        const char* tag;
    };
    const Case cases[] = {
        {"worked example", 5000, 0x01C5123489ABCDEFull, "\"13880-89abcdef-1c51234\""},
        {"directory", 0, 0x01D0000000000001ull, "\"00-1-1d00000\""},
        {"no time", 1, 0, "\"10-0-0\""},
        {"size above 4 GiB", 0x100000002ull, 0xFFFFFFFFFFFFFFFFull, "\"21-ffffffff-ffffffff\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        FindData data;
        data.size = c.size;
        data.lastWriteTime.ticks = c.ticks;
        EXPECT_EQ(MakeEntityTag(data), c.tag);
    }
}

std::vector<std::string> Split(std::string_view list) {
    std::vector<std::string> items;
    for (size_t start = 0, end; start <= list.size(); start = end + 1) {
        end = std::min(list.find('|', start), list.size());
        items.emplace_back(list.substr(start, end - start));
    }
    return items;
}

// Requests after "/share/", separated by '|' and still percent-encoded: climbs that are refused as leaving
// the folder, decoded NULs, spellings that stay inside but name nothing, and ones that reach a file or folder
// inside.
const std::vector<std::string> kEscapes = Split(
    "..|../|../secret.txt|%2e%2e/secret.txt|%2E%2e/secret.txt|%2e%2E%2fsecret.txt|.%2e/secret.txt|"
    "%2e./secret.txt|..%2fsecret.txt|..%2Fsecret.txt|..%5csecret.txt|..%5Csecret.txt|"
    "..\\secret.txt|..//secret.txt|/../secret.txt|\\..\\secret.txt|./../secret.txt|"
    "sub/../../secret.txt|sub/..\\..\\secret.txt|sub%2f..%2f..%2fsecret.txt|sub/./../../secret.txt|"
    "sub\\..%5c..%5csecret.txt|%2e%2e%5c%2e%2e%5csecret.txt|..%2F..%2F..%2F..%2Fetc%2Fpasswd|"
    "sub/..|sub/../a.txt|a.txt/..|..%20|..%09|%2e%2e");
const std::vector<std::string> kNulBytes =
    Split("a.txt%00.jpg|%00../secret.txt|..%00/secret.txt|sub/b.txt%00");
const std::vector<std::string> kInsideNotFound = Split(
    "..%09/|....//secret.txt|..secret.txt|secret.txt..|%c0%ae%c0%ae/secret.txt|"
    "%c0%2e%c0%2e/secret.txt|%e0%80%ae%e0%80%ae/secret.txt|..%c0%afsecret.txt|"
    "%ef%bc%8e%ef%bc%8e/secret.txt|%252e%252e/secret.txt|%uff0e%uff0e/secret.txt|. ./secret.txt");
const std::pair<const char*, const char*> kInsideFound[] = {{"...", "..."},
                                                            {".%2e%2e/dots.txt", ".../dots.txt"},
                                                            {".", ""},
                                                            {"./a.txt", "a.txt"},
                                                            {"%2e/a.txt", "a.txt"},
                                                            {"sub/./b.txt", "sub/b.txt"},
                                                            {"sub//b.txt", "sub/b.txt"},
                                                            {"sub\\b.txt", "sub/b.txt"},
                                                            {"/sub/b.txt", "sub/b.txt"},
                                                            {"sub/", "sub"}};

TEST_F(PathResolverTest, TraversalSpellingsNeverLeaveTheFolder) {
    auto expectNotFound = [](const std::string& rest, bool escapes) {
        SCOPED_TRACE(rest);
        ResolvedPath path = ResolvePath("/share/" + rest);
        EXPECT_EQ(path.escapesFolder, escapes);
        EXPECT_FALSE(path.found);
        EXPECT_EQ(path.kind, PathKind::NotFound);
        EXPECT_EQ(path.diskPath, "");
    };
    ASSERT_EQ(kEscapes.size() + kNulBytes.size() + kInsideNotFound.size(), 46u) << "paths lost in the lists";
    for (const std::string& rest : kEscapes)
        expectNotFound(rest, true);
    for (const std::string& rest : kNulBytes)
        expectNotFound(rest, false);
    for (const std::string& rest : kInsideNotFound)
        expectNotFound(rest, false);
    const std::string folder = Canonical(m_folder);
    ASSERT_FALSE(folder.empty());
    for (const auto& [rest, below] : kInsideFound) {
        SCOPED_TRACE(rest);
        ResolvedPath path = ResolvePath(std::string("/share/") + rest);
        EXPECT_FALSE(path.escapesFolder);
        ASSERT_TRUE(path.found);
        EXPECT_EQ(path.diskPath, *below ? m_folder + "/" + below : m_folder);
        const std::string real = Canonical(path.diskPath);
        EXPECT_TRUE(real == folder || real.rfind(folder + "/", 0) == 0) << real;
    }
}

// A whole path may also try its luck with the first segment.
TEST_F(PathResolverTest, FirstSegmentTraversalIsNotFound) {
    for (const char* request :
         {"/../secret.txt", "/..", "/%2e%2e/secret.txt", "/./share/a.txt", "/share/../share/a.txt"}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_FALSE(path.found);
        EXPECT_EQ(path.diskPath, "");
    }
}

// Read-only media are stood in for by a read-only tmpfs, mounted in a mount namespace of this process
// only, so nothing is left behind when the test process ends.
class ReadOnlyMedium {
public:
    explicit ReadOnlyMedium(std::string mountPoint) : m_mountPoint(std::move(mountPoint)) {
        std::filesystem::create_directories(m_mountPoint);
        m_mounted = ::unshare(CLONE_NEWNS) == 0 &&
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    ::mount("tmpfs", m_mountPoint.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~ReadOnlyMedium() {
        if (m_mounted)
            ::umount2(m_mountPoint.c_str(), MNT_DETACH);
    }

    bool Mounted() const { return m_mounted; }
    bool MakeReadOnly() const {
        return ::mount(nullptr, m_mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string m_mountPoint;
    bool m_mounted = false;
};

TEST(ThumbnailIndexPathTest, ReadOnlyMediumKeepsTheIndexInTheCache) {
    test::ScopedSarvoHome home;
    const std::string cd = home.Child("cd");
    ReadOnlyMedium medium(cd);
    if (!medium.Mounted())
        GTEST_SKIP() << "mounting a file system needs CAP_SYS_ADMIN";
    home.WriteFile("cd/photos/2004/pic.jpg", "jpeg");
    const std::string indexed = home.WriteFile("cd/photos/indexed/pixindex.$$$", "in folder");
    ASSERT_TRUE(medium.MakeReadOnly());
    ASSERT_EQ(GetDriveKind(cd), kDriveCdRom);

    const std::string folder = cd + "/photos/2004";
    VolumeInfo volume;
    ASSERT_TRUE(GetVolumeInformation(folder, volume));
    const std::string cache = GetAppDataPath() + "/PIXINDEX/" + Format("%08X", VolumeKeyCrc(volume.key));
    const std::string cached = cache + "/photos/2004/pixindex.$$$";

    // The application-data folder exists once the program has run; the cache is still not made.
    ASSERT_TRUE(EnsureFolderExists(GetAppDataPath()));
    std::string out;
    ASSERT_TRUE(ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, folder + "/pixindex.$$$");
    EXPECT_FALSE(std::filesystem::exists(GetAppDataPath() + "/PIXINDEX"));

    // The medium's root keeps its index directly in the volume's cache folder.
    ASSERT_TRUE(ThumbnailIndexPath(cd, ThumbnailCache::CreateFolders, out));
    EXPECT_EQ(out, cache + "/pixindex.$$$");
    // With the volume's folder there but not the folder's own levels, a lookup stays in the folder.
    ASSERT_TRUE(ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, folder + "/pixindex.$$$");
    EXPECT_FALSE(std::filesystem::exists(cache + "/photos"));

    ASSERT_TRUE(ThumbnailIndexPath(folder, ThumbnailCache::CreateFolders, out));
    EXPECT_EQ(out, cached);
    EXPECT_TRUE(IsExistingDirectory(cache + "/photos/2004"));
    ASSERT_TRUE(ThumbnailIndexPath(folder, ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, cached);

    // An index the medium carries itself is used where it lies.
    ASSERT_TRUE(ThumbnailIndexPath(cd + "/photos/indexed", ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, indexed);

    // The resolver serves the cached index under the folder's URL.
    std::ofstream(cached, std::ios::binary) << "cached index";
    ASSERT_TRUE(ShareFolder("cd", cd));
    ResolvedPath path = ResolvePath("/cd/photos/2004/pixindex.$$$");
    EXPECT_EQ(path.kind, PathKind::ThumbnailIndex);
    EXPECT_EQ(path.diskPath, cached);
    EXPECT_EQ(path.findData.size, 12u);
    EXPECT_EQ(ResolvePath("/cd/photos/2004/pic.jpg").kind, PathKind::SharedFolderFile);
}

}  // namespace
}  // namespace sarvo
