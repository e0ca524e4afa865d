// The thumbnail pages through the real server on a loopback port, with indexes made by the pictorn
// tool.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestPictures.h"
#include "ThumbnailFixtures.h"
#include "server/HttpResponse.h"
#include "site/ThumbnailIndex.h"
#include "site/ThumbnailListPage.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;

using pictorn::test::kBlue;
using pictorn::test::kRed;
using pictorn::test::WritePicture;
using test::Exchange;
using test::Get;
using test::LoopbackServer;
using test::WireResponse;
using ::testing::ElementsAre;

const std::string kPictorn = PICTORN_PATH;

std::string Head(const std::string& path) {
    return "HEAD " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string Post(const std::string& path) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n";
}

std::string PreviewIn(const std::string& indexPath, const std::string& name) {
    ThumbnailIndex index;
    if (!index.Open(indexPath))
        return "";
    size_t length = 0;
    std::unique_ptr<uint8_t[]> image = index.FindImage(name, length);
    return image ? std::string(reinterpret_cast<const char*>(image.get()), length) : "";
}

std::string LocalPage(const std::string& indexPath) {
    HttpResponse response;
    BuildThumbnailListPage(response, indexPath);
    return std::string(response.BodyText());
}

pictorn::test::ChildResult RunPictorn(const std::string& folder, const std::string& scratch) {
    return pictorn::test::RunChild({kPictorn, folder, "1"}, scratch);
}

class ThumbnailServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_folder = m_server.ShareFolder("share", "photos");
        ASSERT_TRUE(WritePicture(m_folder + "/pic.jpg", 240, 120, kRed, kBlue));
        ASSERT_TRUE(WritePicture(m_folder + "/my photo.png", 60, 90, kBlue, kRed));
        fs::create_directories(m_folder + "/2004");
        ASSERT_TRUE(WritePicture(m_folder + "/2004/deep.jpg", 100, 100, kRed, kRed));
        const pictorn::test::ChildResult run = RunPictorn(m_folder, m_server.Home().Child("."));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        m_index = m_folder + "/pixindex.$$$";
    }

    WireResponse Request(const std::string& request) { return Exchange(m_server.Port(), request); }

    LoopbackServer m_server;
    std::string m_folder;
    std::string m_index;
};

TEST_F(ThumbnailServerTest, IndexNameGivesTheListPage) {
    const WireResponse response = Request(Get("/share/pixindex.$$$"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(response.HeaderNames(),
                ElementsAre("Date", "Server", "Last-Modified", "Expires", "Accept-Ranges", "Connection",
                            "Content-Type", "Content-Length"));
    EXPECT_EQ(response.Header("Content-Type"), "text/html");
    EXPECT_EQ(response.Header("Content-Length"), std::to_string(response.body.size()));
    EXPECT_EQ(response.body, LocalPage(m_index));
    EXPECT_NE(response.body.find("<img src=\"./my photo.png?thumbnail\">"), std::string::npos);
    EXPECT_NE(response.body.find("<div>pic.jpg<br>120 x 60<br>"), std::string::npos);
}

TEST_F(ThumbnailServerTest, IndexNameInOtherCaseAndInASubFolder) {
    const WireResponse upper = Request(Get("/share/PIXINDEX.$$$"));
    EXPECT_EQ(upper.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(upper.body, LocalPage(m_index));
    // The dollar signs as a browser may send them, percent-encoded.
    const WireResponse sub = Request(Get("/share/2004/pixindex.%24%24%24"));
    EXPECT_EQ(sub.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(sub.body, LocalPage(m_folder + "/2004/pixindex.$$$"));
    EXPECT_NE(sub.body.find("<div>deep.jpg<br>100 x 100<br>"), std::string::npos);
}

TEST_F(ThumbnailServerTest, ThumbnailQueryGivesThePreviewBytes) {
    const WireResponse response = Request(Get("/share/pic.jpg?thumbnail"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(response.HeaderNames(),
                ElementsAre("Date", "Server", "Connection", "Content-Type", "Content-Length"));
    EXPECT_EQ(response.Header("Content-Type"), "image/gif");
    const std::string expected = PreviewIn(m_index, "pic.jpg");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(response.body, expected);
    EXPECT_EQ(response.Header("Content-Length"), std::to_string(expected.size()));
    pictorn::test::DecodedPicture decoded;
    ASSERT_TRUE(pictorn::test::DecodePicture(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(response.body.data()),
                                 response.body.size()),
        decoded));
    EXPECT_EQ(decoded.width, 120);
    EXPECT_EQ(decoded.height, 60);
}

TEST_F(ThumbnailServerTest, ThumbnailQueryIgnoresCaseAndDecodesTheName) {
    const WireResponse encoded = Request(Get("/share/my%20photo.png?THUMBNAIL"));
    EXPECT_EQ(encoded.Header("Content-Type"), "image/gif");
    EXPECT_EQ(encoded.body, PreviewIn(m_index, "my photo.png"));
    const WireResponse sub = Request(Get("/share/2004/deep.jpg?thumbnail"));
    EXPECT_EQ(sub.body, PreviewIn(m_folder + "/2004/pixindex.$$$", "deep.jpg"));
    EXPECT_FALSE(sub.body.empty());
}

TEST_F(ThumbnailServerTest, HeadOfAThumbnailSendsItsHeaderAlone) {
    const std::string expected = PreviewIn(m_index, "pic.jpg");
    const WireResponse response = Request(Head("/share/pic.jpg?thumbnail"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(response.Header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(response.body, "");
}

TEST_F(ThumbnailServerTest, PictureMissingFromTheIndexGetsAnEmptyBmp) {
    test::WriteBytes(m_folder + "/late.jpg", "came after the index");
    const WireResponse response = Request(Get("/share/late.jpg?thumbnail"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(response.Header("Content-Type"), "image/bmp");
    EXPECT_EQ(response.Header("Content-Length"), "0");
    EXPECT_EQ(response.body, "");
}

TEST_F(ThumbnailServerTest, UpperCaseNameOnDiskMatchesTheLowerCaseEntry) {
    // The index was made while the picture was called photo1.jpg; it has been renamed since.
    fs::rename(m_folder + "/pic.jpg", m_folder + "/PHOTO1.JPG");
    const std::string preview = PreviewIn(m_index, "pic.jpg");
    std::vector<test::HandEntry> entries = {
        test::MakeEntry("photo1.jpg", std::vector<uint8_t>(preview.begin(), preview.end()), 60, 120)};
    test::WriteBytes(m_index, test::IndexBytes(entries));
    const WireResponse response = Request(Get("/share/PHOTO1.JPG?thumbnail"));
    EXPECT_EQ(response.Header("Content-Type"), "image/gif");
    EXPECT_EQ(response.body, preview);
}

TEST_F(ThumbnailServerTest, PostToTheIndexIsABadRequest) {
    EXPECT_EQ(Request(Post("/share/pixindex.$$$")).statusLine, "HTTP/1.1 400 Bad Request");
}

TEST_F(ThumbnailServerTest, FolderWithoutAnIndexHasNoIndexToAskFor) {
    fs::create_directories(m_folder + "/empty");
    EXPECT_EQ(Request(Get("/share/empty/pixindex.$$$")).statusLine, "HTTP/1.1 404 Not Found");
}

TEST_F(ThumbnailServerTest, ListingLinksToTheThumbnailPage) {
    const WireResponse listing = Request(Get("/share/"));
    EXPECT_EQ(listing.statusLine, "HTTP/1.1 200 OK");
    EXPECT_NE(listing.body.find("Image Thumbnails"), std::string::npos);
}

// A folder on read-only media keeps its index in the per-user cache. The media is a bind mount made
// read-only in a private mount namespace; the case below runs there, in a child process started by
// the one after it, because a process cannot enter a new user namespace once it has threads.
constexpr char kInsideVariable[] = "SARVO_THUMBNAIL_TEST_IN_PRIVATE_MOUNTS";

TEST(ThumbnailReadOnlyMedia, DISABLED_InsidePrivateMounts) {
    ASSERT_NE(std::getenv(kInsideVariable), nullptr)
        << "started only by ThumbnailReadOnlyMedia.IndexComesFromTheCache";
    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    const std::string source = server.Home().Child("disc");
    fs::create_directories(source);
    ASSERT_TRUE(WritePicture(source + "/disc.jpg", 200, 100, kRed, kBlue));
    const std::string mountPoint = server.ShareFolder("cd", "cdrom");
    const std::string mount =
        "mount --bind '" + source + "' '" + mountPoint + "' && mount -o remount,bind,ro '" + mountPoint + "'";
    ASSERT_EQ(std::system(mount.c_str()), 0);
    ASSERT_NE(::access(mountPoint.c_str(), W_OK), 0) << "the mount is still writable";

    const pictorn::test::ChildResult run = RunPictorn(mountPoint, server.Home().Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(mountPoint + "/pixindex.$$$"));
    std::string cached;
    for (const auto& item : fs::recursive_directory_iterator(server.Home().Child("appdata/PIXINDEX"))) {
        if (item.path().filename() == "pixindex.$$$")
            cached = item.path().string();
    }
    ASSERT_FALSE(cached.empty()) << "the tool left no index in the cache";

    const WireResponse listing = Exchange(server.Port(), Get("/cd/"));
    EXPECT_NE(listing.body.find("Image Thumbnails"), std::string::npos);
    const WireResponse page = Exchange(server.Port(), Get("/cd/pixindex.$$$"));
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(page.body, LocalPage(cached));
    EXPECT_NE(page.body.find("<div>disc.jpg<br>120 x 60<br>"), std::string::npos);
    const WireResponse image = Exchange(server.Port(), Get("/cd/disc.jpg?thumbnail"));
    EXPECT_EQ(image.Header("Content-Type"), "image/gif");
    EXPECT_EQ(image.body, PreviewIn(cached, "disc.jpg"));
    EXPECT_FALSE(image.body.empty());
}

TEST(ThumbnailReadOnlyMedia, IndexComesFromTheCache) {
    if (std::system("unshare --user --map-root-user --mount true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no private mount namespace available here to make a read-only mount";
    test::TempFolder scratch;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    ASSERT_EQ(::setenv(kInsideVariable, "1", 1), 0);
    const pictorn::test::ChildResult run =
        pictorn::test::RunChild({"/usr/bin/unshare", "--user", "--map-root-user", "--mount", self,
                                 "--gtest_filter=ThumbnailReadOnlyMedia.DISABLED_InsidePrivateMounts",
                                 "--gtest_also_run_disabled_tests"},
                                scratch.Path());
    ::unsetenv(kInsideVariable);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace sarvo
