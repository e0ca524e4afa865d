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

#include "common/Format.h"
#include "common/TextHolder.h"
#include "common/Url.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/SpecialFolders.h"
#include "platform/Volume.h"
#include "server/ThumbnailIndexPath.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "support/TempFolder.h"

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

struct RootCase {
    const char* path;
    bool isRoot;
};

TEST_F(PathResolverTest, RootSpellings) {
    const RootCase cases[] = {
        {"/", true},     {"//", true}, {"/ ", true}, {"/%20", true}, {"%20/", true},
        {"///\t", true}, {"", false},  {" ", false}, {"%20", false}, {"%09%0d%0a", false},
    };
    for (const RootCase& c : cases) {
        SCOPED_TRACE(c.path);
        ResolvedPath path = ResolvePath(c.path);
        EXPECT_EQ(path.kind, c.isRoot ? PathKind::Root : PathKind::NotFound);
        EXPECT_EQ(path.found, c.isRoot);
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
    EXPECT_TRUE(path.found);
    EXPECT_EQ(path.diskPath, file);
    EXPECT_EQ(path.findData.size, 12u);
    EXPECT_EQ(path.findData.lastWriteTime, ModificationTime(file));
    EXPECT_EQ(path.entityTag, MakeEntityTag(path.findData));
    EXPECT_EQ(path.entityTag.substr(0, 4), "\"c0-");

    ASSERT_TRUE(SetHomePageType(0));
    path = ResolvePath("/");
    EXPECT_EQ(path.kind, PathKind::Root);
    EXPECT_EQ(path.diskPath, "");
    EXPECT_EQ(path.entityTag, "");
}

TEST_F(PathResolverTest, TrailingSeparatorsAndCaseNameTheSameFolder) {
    for (const char* request :
         {"/share", "/share/", "/SHARE", "/Share//", "/share\\", "\\share", "/share/."}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::SharedFolderDir);
        EXPECT_TRUE(path.found);
        EXPECT_FALSE(path.escapesFolder);
        EXPECT_EQ(path.diskPath, m_folder);
        EXPECT_EQ(path.title, "Holiday pictures");
        EXPECT_EQ(path.findData.size, 0u);
        EXPECT_EQ(path.entityTag, MakeEntityTag(path.findData));
    }
    ResolvedPath path = ResolvePath("/SHARE/");
    EXPECT_EQ(path.firstSegment, "SHARE");
    EXPECT_EQ(path.rest, "");
    EXPECT_EQ(path.lastComponent, "SHARE");
}

TEST_F(PathResolverTest, EncodedBlankReachesTheFileInASubFolder) {
    ResolvedPath path = ResolvePath("/share/Album%20One/track.mp3");
    EXPECT_EQ(path.kind, PathKind::SharedFolderFile);
    EXPECT_TRUE(path.found);
    EXPECT_EQ(path.firstSegment, "share");
    EXPECT_EQ(path.rest, "Album One/track.mp3");
    EXPECT_EQ(path.lastComponent, "track.mp3");
    EXPECT_EQ(path.diskPath, m_folder + "/Album One/track.mp3");
    EXPECT_EQ(path.findData.name, "track.mp3");
    EXPECT_EQ(path.findData.size, 5000u);
    FileTime written = ModificationTime(path.diskPath);
    EXPECT_EQ(path.entityTag,
              Format("\"13880-%lx-%lx\"", static_cast<unsigned long>(written.ticks & 0xFFFFFFFFu),
                     static_cast<unsigned long>(written.ticks >> 32)));
}

TEST_F(PathResolverTest, RestKeepsBackslashesWhileTheDiskPathUsesSlashes) {
    ResolvedPath path = ResolvePath("/share/sub%5cb.txt");
    EXPECT_EQ(path.kind, PathKind::SharedFolderFile);
    EXPECT_EQ(path.rest, "sub\\b.txt");
    EXPECT_EQ(path.lastComponent, "b.txt");
    EXPECT_EQ(path.diskPath, m_folder + "/sub/b.txt");
}

TEST_F(PathResolverTest, SubFolderIsADirectory) {
    ResolvedPath path = ResolvePath("/share/sub/");
    EXPECT_EQ(path.kind, PathKind::SharedFolderDir);
    EXPECT_EQ(path.rest, "sub");
    EXPECT_EQ(path.lastComponent, "sub");
    EXPECT_EQ(path.diskPath, m_folder + "/sub");
}

TEST_F(PathResolverTest, MissingTargetsAreNotFound) {
    const char* paths[] = {
        "/share/missing.txt", "/share/sub/missing/deeper", "/nothing", "/nothing/a.txt", "\\",
        "/share/a.txt/x"};
    for (const char* request : paths) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::NotFound);
        EXPECT_FALSE(path.found);
        EXPECT_FALSE(path.escapesFolder);
        EXPECT_EQ(path.entityTag, "");
    }
}

TEST_F(PathResolverTest, FolderWhoseLocationIsGoneIsNotFound) {
    ASSERT_TRUE(ShareFolder("gone", m_home.Child("no-such-folder")));
    EXPECT_EQ(ResolvePath("/gone").kind, PathKind::NotFound);
    EXPECT_EQ(ResolvePath("/gone/a.txt").kind, PathKind::NotFound);
}

// A folder entry without a location must not turn into the file system's root.
TEST_F(PathResolverTest, FolderWithAnEmptyLocationIsNotFound) {
    ASSERT_TRUE(ShareFolder("empty", ""));
    EXPECT_EQ(ResolvePath("/empty").kind, PathKind::NotFound);
    EXPECT_EQ(ResolvePath("/empty/etc/passwd").kind, PathKind::NotFound);
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
    EXPECT_TRUE(path.found);
    EXPECT_EQ(path.diskPath, file);
    EXPECT_EQ(path.findData.size, 10u);
    EXPECT_EQ(path.entityTag, MakeEntityTag(path.findData));
    EXPECT_EQ(path.title, "");

    EXPECT_EQ(ResolvePath("/notes.txt/x").kind, PathKind::NotFound);
    EXPECT_EQ(ResolvePath("/notes.txt/..").kind, PathKind::NotFound);

    ASSERT_TRUE(std::filesystem::remove(file));
    EXPECT_EQ(ResolvePath("/notes.txt").kind, PathKind::NotFound);
}

TEST_F(PathResolverTest, LengthLimitsOfTheFirstSegmentAndTheRest) {
    const std::string name48(48, 'n');
    const std::string name49(49, 'n');
    ASSERT_TRUE(ShareFolder(name48, m_folder));
    ASSERT_TRUE(ShareFolder(name49, m_folder));
    EXPECT_EQ(ResolvePath("/" + name48).kind, PathKind::SharedFolderDir);
    EXPECT_EQ(ResolvePath("/" + name49).kind, PathKind::NotFound);

    // "sub/" and a name: the rest is counted after decoding, so an escaped rest may be longer on the wire.
    const std::string fits = "sub/" + std::string(252, 'f');
    const std::string tooLong = "sub/" + std::string(253, 'f');
    m_home.WriteFile("shared/" + fits, "x");
    m_home.WriteFile("shared/" + tooLong, "x");
    EXPECT_EQ(ResolvePath("/share/" + fits).kind, PathKind::SharedFolderFile);
    EXPECT_EQ(ResolvePath("/share/sub%2F" + std::string(252, 'f')).kind, PathKind::SharedFolderFile);
    EXPECT_EQ(ResolvePath("/share/" + tooLong).kind, PathKind::NotFound);
}

TEST_F(PathResolverTest, ThumbnailIndexInTheFolderItself) {
    std::string index = m_home.WriteFile("shared/sub/pixindex.$$$", "index");
    for (const char* request :
         {"/share/sub/pixindex.$$$", "/share/sub/PIXINDEX.$$$", "/share/sub/pixindex.%24%24%24"}) {
        SCOPED_TRACE(request);
        ResolvedPath path = ResolvePath(request);
        EXPECT_EQ(path.kind, PathKind::ThumbnailIndex);
        EXPECT_TRUE(path.found);
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

// Where a request may end up relative to the shared folder.
enum class Verdict {
    Escapes,  // refused as leaving the folder
    NulByte,  // not found: a decoded NUL
    Inside,   // stays inside; found when expected names a file or folder
};

struct TraversalCase {
    const char* rest;  // as sent after "/share/", still percent-encoded
    Verdict verdict;
    const char* expected;  // below the shared folder when Inside and found; nullptr when not found
};

const TraversalCase kTraversalCases[] = {
    {"..", Verdict::Escapes, nullptr},
    {"../", Verdict::Escapes, nullptr},
    {"../secret.txt", Verdict::Escapes, nullptr},
    {"%2e%2e/secret.txt", Verdict::Escapes, nullptr},
    {"%2E%2e/secret.txt", Verdict::Escapes, nullptr},
    {"%2e%2E%2fsecret.txt", Verdict::Escapes, nullptr},
    {".%2e/secret.txt", Verdict::Escapes, nullptr},
    {"%2e./secret.txt", Verdict::Escapes, nullptr},
    {"..%2fsecret.txt", Verdict::Escapes, nullptr},
    {"..%2Fsecret.txt", Verdict::Escapes, nullptr},
    {"..%5csecret.txt", Verdict::Escapes, nullptr},
    {"..%5Csecret.txt", Verdict::Escapes, nullptr},
    {"..\\secret.txt", Verdict::Escapes, nullptr},
    {"..//secret.txt", Verdict::Escapes, nullptr},
    {"/../secret.txt", Verdict::Escapes, nullptr},
    {"\\..\\secret.txt", Verdict::Escapes, nullptr},
    {"./../secret.txt", Verdict::Escapes, nullptr},
    {"sub/../../secret.txt", Verdict::Escapes, nullptr},
    {"sub/..\\..\\secret.txt", Verdict::Escapes, nullptr},
    {"sub%2f..%2f..%2fsecret.txt", Verdict::Escapes, nullptr},
    {"sub/./../../secret.txt", Verdict::Escapes, nullptr},
    {"sub\\..%5c..%5csecret.txt", Verdict::Escapes, nullptr},
    {"%2e%2e%5c%2e%2e%5csecret.txt", Verdict::Escapes, nullptr},
    {"..%2F..%2F..%2F..%2Fetc%2Fpasswd", Verdict::Escapes, nullptr},
    {"sub/..", Verdict::Escapes, nullptr},
    {"sub/../a.txt", Verdict::Escapes, nullptr},
    {"a.txt/..", Verdict::Escapes, nullptr},
    {"..%20", Verdict::Escapes, nullptr},
    {"..%09", Verdict::Escapes, nullptr},
    {"..%09/", Verdict::Inside, nullptr},
    {"%2e%2e", Verdict::Escapes, nullptr},
    {"a.txt%00.jpg", Verdict::NulByte, nullptr},
    {"%00../secret.txt", Verdict::NulByte, nullptr},
    {"..%00/secret.txt", Verdict::NulByte, nullptr},
    {"sub/b.txt%00", Verdict::NulByte, nullptr},
    {"...", Verdict::Inside, "..."},
    {".%2e%2e/dots.txt", Verdict::Inside, ".../dots.txt"},
    {"....//secret.txt", Verdict::Inside, nullptr},
    {"..secret.txt", Verdict::Inside, nullptr},
    {"secret.txt..", Verdict::Inside, nullptr},
    {"%c0%ae%c0%ae/secret.txt", Verdict::Inside, nullptr},
    {"%c0%2e%c0%2e/secret.txt", Verdict::Inside, nullptr},
    {"%e0%80%ae%e0%80%ae/secret.txt", Verdict::Inside, nullptr},
    {"..%c0%afsecret.txt", Verdict::Inside, nullptr},
    {"%ef%bc%8e%ef%bc%8e/secret.txt", Verdict::Inside, nullptr},
    {"%252e%252e/secret.txt", Verdict::Inside, nullptr},
    {"%uff0e%uff0e/secret.txt", Verdict::Inside, nullptr},
    {". ./secret.txt", Verdict::Inside, nullptr},
    {".", Verdict::Inside, ""},
    {"./a.txt", Verdict::Inside, "a.txt"},
    {"%2e/a.txt", Verdict::Inside, "a.txt"},
    {"sub/./b.txt", Verdict::Inside, "sub/b.txt"},
    {"sub//b.txt", Verdict::Inside, "sub/b.txt"},
    {"sub\\b.txt", Verdict::Inside, "sub/b.txt"},
    {"/sub/b.txt", Verdict::Inside, "sub/b.txt"},
    {"sub/", Verdict::Inside, "sub"},
};

// The rest as the resolver hands it over: decoded, and with the request's trailing blanks, control
// characters and then separators trimmed (the whole path is trimmed, and the rest is its end).
std::string RestAsResolved(const char* encoded) {
    TextHolder decoded;
    UrlDecode(decoded, encoded);
    std::string rest = decoded.Str();
    while (!rest.empty() && static_cast<unsigned char>(rest.back()) <= ' ' && rest.back() != '\0')
        rest.pop_back();
    while (!rest.empty() && (rest.back() == '/' || rest.back() == '\\'))
        rest.pop_back();
    return rest;
}

TEST(RestStaysInsideFolderTest, DecodedTraversalSpellings) {
    for (const TraversalCase& c : kTraversalCases) {
        SCOPED_TRACE(c.rest);
        std::string rest = RestAsResolved(c.rest);
        EXPECT_EQ(RestStaysInsideFolder(rest), c.verdict == Verdict::Inside) << rest;
    }
}

TEST(RestStaysInsideFolderTest, SegmentsAtEitherEnd) {
    EXPECT_TRUE(RestStaysInsideFolder(""));
    EXPECT_TRUE(RestStaysInsideFolder("a"));
    EXPECT_FALSE(RestStaysInsideFolder(".."));
    EXPECT_FALSE(RestStaysInsideFolder("../a"));
    EXPECT_FALSE(RestStaysInsideFolder("a/.."));
    EXPECT_FALSE(RestStaysInsideFolder("a\\.."));
    EXPECT_FALSE(RestStaysInsideFolder("\\.."));
    EXPECT_FALSE(RestStaysInsideFolder("a/../b"));
    EXPECT_FALSE(RestStaysInsideFolder(std::string_view("a\0b", 3)));
    EXPECT_TRUE(RestStaysInsideFolder("a/.../b"));
    EXPECT_TRUE(RestStaysInsideFolder("a/./b"));
    EXPECT_TRUE(RestStaysInsideFolder("a/..b/c.."));
}

TEST_F(PathResolverTest, TraversalSpellingsNeverLeaveTheFolder) {
    const std::string folder = Canonical(m_folder);
    const std::string secret = Canonical(m_home.Child("secret.txt"));
    ASSERT_FALSE(folder.empty());
    for (const TraversalCase& c : kTraversalCases) {
        SCOPED_TRACE(c.rest);
        ResolvedPath path = ResolvePath(std::string("/share/") + c.rest);
        EXPECT_EQ(path.escapesFolder, c.verdict == Verdict::Escapes);
        if (c.verdict != Verdict::Inside || c.expected == nullptr) {
            EXPECT_FALSE(path.found);
            EXPECT_EQ(path.kind, PathKind::NotFound);
            EXPECT_EQ(path.diskPath, "");
            continue;
        }
        ASSERT_TRUE(path.found);
        const std::string expected = *c.expected ? m_folder + "/" + c.expected : m_folder;
        EXPECT_EQ(path.diskPath, expected);
        const std::string real = Canonical(path.diskPath);
        EXPECT_TRUE(real == folder || real.rfind(folder + "/", 0) == 0) << real;
        EXPECT_NE(real, secret);
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

struct MountCase {
    const char* description;
    const char* canonicalFolder;
    const char* mountPoint;
    const char* below;
};

TEST(ThumbnailIndexPathTest, FolderBelowMountPoint) {
    const MountCase cases[] = {
        {"two levels", "/media/cd/photos/2004", "/media/cd", "photos/2004"},
        {"the mount point itself", "/media/cd", "/media/cd", ""},
        {"a name that only starts alike", "/media/cdx/a", "/media/cd", "media/cdx/a"},
        {"the root file system", "/a/b", "/", "a/b"},
        {"no mount table", "/a/b", "", "a/b"},
    };
    for (const MountCase& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(FolderBelowMountPoint(c.canonicalFolder, c.mountPoint), c.below);
    }
}

TEST(ThumbnailIndexPathTest, VolumeKeyCrcIsTheStandardCrcOfTheLoweredKey) {
    EXPECT_EQ(VolumeKeyCrc("123456789"), 0xCBF43926u);
    EXPECT_EQ(VolumeKeyCrc(""), 0u);
    EXPECT_EQ(VolumeKeyCrc("PHOTOS-ISO9660-2049-255-1"), VolumeKeyCrc("photos-iso9660-2049-255-1"));
    EXPECT_NE(VolumeKeyCrc("photos-iso9660-2049-255-1"), VolumeKeyCrc("photos-iso9660-2050-255-1"));
    // Only A-Z are lowered; other bytes keep their value.
    EXPECT_NE(VolumeKeyCrc("\xC4"), VolumeKeyCrc("\xE4"));
}

TEST(ThumbnailIndexPathTest, WritableFolderKeepsTheIndexInTheFolder) {
    test::ScopedSarvoHome home;
    std::string folder = home.Child("pictures");
    std::filesystem::create_directories(folder);
    ASSERT_NE(GetDriveKind(folder), kDriveCdRom) << "the temporary folder lies on read-only media";
    std::string out = "stale";
    EXPECT_TRUE(ThumbnailIndexPath(folder + "/", ThumbnailCache::CreateFolders, out));
    EXPECT_EQ(out, folder + "/pixindex.$$$");
    EXPECT_FALSE(std::filesystem::exists(GetAppDataPath() + "/PIXINDEX"));

    EXPECT_FALSE(ThumbnailIndexPath("", ThumbnailCache::LookupOnly, out));
    EXPECT_EQ(out, "");
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
