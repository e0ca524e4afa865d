#include "site/FolderListing.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "GoldenFile.h"
#include "SiteFiles.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "store/Folders.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::ScopedSarvoHome;

// 2005-01-15 14:05:59 UTC.
constexpr int64_t kSomeTime = 1105797959;
constexpr int64_t kHour = 3600;
constexpr uint64_t kGiB = uint64_t{1} << 30;

class FolderListingTest : public ::testing::Test {
protected:
    // A share of the folder "shared" of the home with the given rights.
    void Share(const std::string& name, bool browse, bool post, bool zip) {
        SharedFolder folder;
        folder.name = name;
        folder.location = m_home.Child("shared");
        folder.canBrowseSubfolders = browse;
        folder.canPostFiles = post;
        folder.zipDownload = zip;
        ASSERT_TRUE(WriteSharedFolder(folder));
    }

    std::string Write(const std::string& name, const std::string& content, int64_t time) {
        std::string path = m_home.WriteFile("shared/" + name, content);
        test::SetWriteTime(path, time);
        return path;
    }

    void Folder(const std::string& name, int64_t time) {
        test::MakeFolder(m_home.Child("shared/" + name));
        test::SetWriteTime(m_home.Child("shared/" + name), time);
    }

    std::string Body(const std::string& urlPath) {
        HttpResponse response;
        BuildFolderListing(response, urlPath);
        return std::string(response.BodyText());
    }

    ScopedSarvoHome m_home;
    test::UtcZone m_zone;
};

TEST_F(FolderListingTest, WholePageAtTheTopOfAShare) {
    Share("share", true, true, true);
    Write("a.txt", std::string(100, 'a'), kSomeTime);
    Write("Report.htm", "<html><head><title>Report</title></head></html>", kSomeTime + kHour);
    Write("b c#d%e.txt", std::string(2048, 'b'), kSomeTime + 2 * kHour);
    Write(
        "\xc3\xbcn\xc3\xaf"
        "c\xc3\xb8"
        "d\xc3\xa9.txt",
        "unicode", kSomeTime + 3 * kHour);
    Write("pixindex.$$$", std::string(1536, 'i'), kSomeTime + 4 * kHour);
    Write(".secret", "hidden", kSomeTime);
    std::string big = Write("big.iso", "", kSomeTime + 5 * kHour);
    test::SetFileSize(big, 3 * kGiB);
    test::SetWriteTime(big, kSomeTime + 5 * kHour);
    Write("song.MP3", std::string(1000, 's') + test::Id3Tag("Blue Song"), kSomeTime + 6 * kHour);
    Write("README", "read me", kSomeTime + 7 * kHour);
    Folder("docs", kSomeTime + 8 * kHour);
    Folder("My Docs #2", kSomeTime + 9 * kHour);
    Folder(".svn", kSomeTime);
    Folder("\xc3\xbcn\xc3\xaf dir", kSomeTime + 10 * kHour);

    HttpResponse response;
    BuildFolderListing(response, "/share/");
    test::ExpectMatchesGolden("folder_listing.golden", test::MaskedResponse(response));
    const std::string header(response.HeaderText());
    EXPECT_EQ(test::SecondsBetweenHeaders(header, "Date", "Last-Modified"), 0);
    EXPECT_EQ(test::SecondsBetweenHeaders(header, "Date", "Expires"), 30 * 60);
}

TEST_F(FolderListingTest, WholePageOfASubFolderWithoutPostingOrZip) {
    Share("plain", true, false, false);
    Folder("sub", kSomeTime);
    Write("sub/inner.txt", "inner", kSomeTime + kHour);
    test::MakeFolder(m_home.Child("shared/sub/deeper"));
    test::SetWriteTime(m_home.Child("shared/sub/deeper"), kSomeTime + 2 * kHour);

    HttpResponse response;
    BuildFolderListing(response, "/plain/sub/");
    test::ExpectMatchesGolden("subfolder_listing.golden", test::MaskedResponse(response));
}

TEST_F(FolderListingTest, SystemEntriesNeverAppear) {
    Share("share", true, false, false);
    Write("shown.txt", "s", kSomeTime);
    ASSERT_EQ(::mkfifo(m_home.Child("shared/pipe").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("nowhere", m_home.Child("shared/dangling").c_str()), 0);
    const int unixSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = m_home.Child("shared/socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(unixSocket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(unixSocket);
    std::string body = Body("/share/");
    EXPECT_NE(body.find(">shown.txt</a>"), std::string::npos);
    // Hidden files and dot-folders: see the whole page at the top of a share.
    for (const char* name : {"pipe", "dangling", "socket"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(body.find(name), std::string::npos);
    }
}

TEST_F(FolderListingTest, ThumbnailIndexRowIsShownOnce) {
    Share("share", true, false, false);
    Write("pixindex.$$$", "index", kSomeTime);
    Write("PIXINDEX.$$$", "same name in another case", kSomeTime);
    Write("photo.jpg", "p", kSomeTime);
    std::string body = Body("/share/");
    EXPECT_EQ(test::CountOf(body, "Image Thumbnails"), 2u);  // the link text and the type cell of one row
    EXPECT_EQ(test::CountOf(
                  body, "<a href=\"pixindex.%24%24%24\"><b style=\"color:#ff0000\">Image Thumbnails</b></a>"),
              1u);
    EXPECT_EQ(body.find("PIXINDEX"), std::string::npos);
}

TEST_F(FolderListingTest, SubFoldersAbsentWithoutSubFolderAccess) {
    Share("share", false, false, true);
    Folder("docs", kSomeTime);
    Write("file.txt", "f", kSomeTime);
    Write("pixindex.$$$", "index", kSomeTime);
    std::string body = Body("/share/");
    EXPECT_EQ(body.find("docs"), std::string::npos);
    EXPECT_EQ(body.find("File Folder"), std::string::npos);
    EXPECT_EQ(body.find("?zipdld"), std::string::npos);
    EXPECT_NE(body.find(">file.txt</a>"), std::string::npos);
    EXPECT_EQ(test::CountOf(body, ">Image Thumbnails</b></a>"), 1u);
}

TEST_F(FolderListingTest, NamesAreEncodedInLinksAndEscapedInText) {
    Share("share", true, false, true);
    struct Case {
        const char* name;
        bool folder;
        std::vector<const char*> links;
    } cases[] = {
        // Blanks, '#', '%', UTF-8 and a folder's links are in the whole page at the top of a share.
        {"what?.txt", false, {"<a href=\"what%3F.txt\">what?.txt</a>"}},
        {"x&amp;y \"q\".txt",
         false,
         {"<a href=\"x%26amp%3By%20%22q%22.txt\">x&amp;amp;y &quot;q&quot;.txt</a>"}},
        {"%41 literal.txt", false, {"<a href=\"%2541%20literal.txt\">%41 literal.txt</a>"}},
        {"50% off", true, {"<a href=\"50%25%20off/\">[50% off]</a>"}},
    };
    for (const Case& c : cases) {
        if (c.folder)
            Folder(c.name, kSomeTime);
        else
            Write(c.name, "x", kSomeTime);
    }
    std::string body = Body("/share/");
    for (const Case& c : cases) {
        for (const char* link : c.links) {
            SCOPED_TRACE(link);
            EXPECT_NE(body.find(link), std::string::npos);
        }
    }
}

TEST_F(FolderListingTest, NavigationColumnsFollowDepthAndPosting) {
    struct Case {
        const char* description;
        bool post;
        const char* path;
        int columns;
        bool parent;
    } cases[] = {
        // The other two are in the whole pages.
        {"top, no posting", false, "/share/", 3, false},
        {"sub-folder, posting", true, "/share/docs/", 5, true},
    };
    Folder("docs", kSomeTime);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        Share("share", true, c.post, false);
        std::string body = Body(c.path);
        EXPECT_NE(body.find("<table cols=\"" + std::to_string(c.columns) +
                            "\" rows=\"1\" border=\"0\" width=\"100%\">\r\n"),
                  std::string::npos);
        EXPECT_EQ(body.find("<a href=\"..\">Parent Folder</a>") != std::string::npos, c.parent);
        EXPECT_EQ(body.find("<a href=\"?postfile\">Post a File</a>") != std::string::npos, c.post);
    }
}

TEST_F(FolderListingTest, FolderThatCannotBeListedGivesHeadsWithoutRows) {
    Share("share", true, false, false);
    Folder("gone", kSomeTime);
    Write("gone/file.txt", "f", kSomeTime);
    ResolvedPath path = ResolvePath("/share/gone/");
    ASSERT_EQ(path.kind, PathKind::SharedFolderDir);
    ASSERT_EQ(::unlink(m_home.Child("shared/gone/file.txt").c_str()), 0);
    ASSERT_EQ(::rmdir(m_home.Child("shared/gone").c_str()), 0);
    HttpResponse response;
    BuildFolderListing(response, path);
    std::string body(response.BodyText());
    EXPECT_NE(body.find("<th width=\"120\">Zip Folder</th>\r\n</tr>\r\n</table>\r\n<hr"), std::string::npos);
}

}  // namespace
}  // namespace sarvo
