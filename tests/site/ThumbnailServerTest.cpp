// The thumbnail pages through the real server on a loopback port, with indexes made by the pictorn
// tool.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZipTestSupport.h"
#include "server/HttpResponse.h"
#include "site/ThumbnailIndex.h"
#include "site/ThumbnailListPage.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
namespace pt = pictorn::test;
using test::Exchange;
using test::Get;
using test::LoopbackServer;
using test::WireResponse;

std::string PreviewIn(const std::string& indexPath, const std::string& name) {
    ThumbnailIndex index;
    size_t length = 0;
    std::unique_ptr<uint8_t[]> image = index.Open(indexPath) ? index.FindImage(name, length) : nullptr;
    return image ? std::string(reinterpret_cast<const char*>(image.get()), length) : "";
}

std::string LocalPage(const std::string& indexPath) {
    HttpResponse response;
    BuildThumbnailListPage(response, indexPath);
    return std::string(response.BodyText());
}

test::CommandResult RunPictorn(const std::string& folder) {
    return test::RunCommand(test::ShellQuote(PICTORN_PATH) + " " + test::ShellQuote(folder) + " 1");
}

class ThumbnailServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_folder = m_server.ShareFolder("share", "photos");
        pt::WritePicture(m_folder + "/pic.jpg", 240, 120, pt::kRed, pt::kBlue);
        pt::WritePicture(m_folder + "/my photo.png", 60, 90, pt::kBlue, pt::kRed);
        fs::create_directories(m_folder + "/2004");
        pt::WritePicture(m_folder + "/2004/deep.jpg", 100, 100, pt::kRed, pt::kRed);
        const test::CommandResult run = RunPictorn(m_folder);
        ASSERT_EQ(run.exitCode, 0) << run.output;
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
    EXPECT_EQ(response.body, LocalPage(m_index));
    EXPECT_NE(response.body.find("<img src=\"./my%20photo.png?thumbnail\">"), std::string::npos);
    EXPECT_NE(response.body.find("<div>pic.jpg<br>120 x 60<br>"), std::string::npos);
    // Another case, and the dollar signs percent-encoded as a browser may send them.
    EXPECT_EQ(Request(Get("/share/PIXINDEX.$$$")).body, LocalPage(m_index));
    const WireResponse sub = Request(Get("/share/2004/pixindex.%24%24%24"));
    EXPECT_EQ(sub.body, LocalPage(m_folder + "/2004/pixindex.$$$"));
    EXPECT_NE(sub.body.find("<div>deep.jpg<br>100 x 100<br>"), std::string::npos);
}

// An index copied from a system that ignores case may be named PIXINDEX.$$$. The listing shows its row,
// so the link of that row must lead to the page, and the previews must come from that index.
TEST_F(ThumbnailServerTest, IndexInAnotherCaseIsReachedFromTheListing) {
    const std::string upper = m_folder + "/PIXINDEX.$$$";
    fs::rename(m_index, upper);
    const std::string listing = Request(Get("/share/")).body;
    const size_t label = listing.find("><b style=\"color:#ff0000\">Image Thumbnails</b></a>");
    ASSERT_NE(label, std::string::npos) << listing;
    const size_t hrefStart = listing.rfind("href=\"", label) + 6;
    const std::string href = listing.substr(hrefStart, label - 1 - hrefStart);

    const WireResponse page = Request(Get("/share/" + href));
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK") << href;
    EXPECT_EQ(page.body, LocalPage(upper));
    EXPECT_EQ(Request(Get("/share/pic.jpg?thumbnail")).body, PreviewIn(upper, "pic.jpg"));
}

TEST_F(ThumbnailServerTest, ThumbnailQueryGivesThePreviewBytes) {
    const WireResponse response = Request(Get("/share/pic.jpg?thumbnail"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    const std::string expected = PreviewIn(m_index, "pic.jpg");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(response.body, expected);
    const pt::DecodedPicture decoded = pt::DecodePicture(std::span<const uint8_t>(
        reinterpret_cast<const uint8_t*>(response.body.data()), response.body.size()));
    EXPECT_EQ(decoded.width, 120);
    EXPECT_EQ(decoded.height, 60);
    // The colours as well: a palette unmasked with the wrong byte still decodes, in other colours.
    EXPECT_TRUE(decoded.Near(2, 30, pt::kRed));
    EXPECT_TRUE(decoded.Near(117, 30, pt::kBlue));

    const WireResponse head = Request("HEAD /share/pic.jpg?thumbnail HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(head.body, "");
    // The query in any case.
    EXPECT_EQ(Request(Get("/share/my%20photo.png?THUMBNAIL")).body, PreviewIn(m_index, "my photo.png"));
}

TEST_F(ThumbnailServerTest, RefusedIndexRequests) {
    fs::create_directories(m_folder + "/empty");
    EXPECT_EQ(Request("POST /share/pixindex.$$$ HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n")
                  .statusLine,
              "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(Request(Get("/share/empty/pixindex.$$$")).statusLine, "HTTP/1.1 404 Not Found");
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
    pt::WritePicture(source + "/disc.jpg", 200, 100, pt::kRed, pt::kBlue);
    const std::string mountPoint = server.ShareFolder("cd", "cdrom");
    const std::string mount =
        "mount --bind '" + source + "' '" + mountPoint + "' && mount -o remount,bind,ro '" + mountPoint + "'";
    ASSERT_EQ(std::system(mount.c_str()), 0);
    ASSERT_NE(::access(mountPoint.c_str(), W_OK), 0) << "the mount is still writable";

    const test::CommandResult run = RunPictorn(mountPoint);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_FALSE(fs::exists(mountPoint + "/pixindex.$$$"));
    std::string cached;
    for (const auto& item : fs::recursive_directory_iterator(server.Home().Child("appdata/PIXINDEX"))) {
        if (item.path().filename() == "pixindex.$$$")
            cached = item.path().string();
    }
    ASSERT_FALSE(cached.empty()) << "the tool left no index in the cache";

    EXPECT_NE(Exchange(server.Port(), Get("/cd/")).body.find("Image Thumbnails"), std::string::npos);
    const WireResponse page = Exchange(server.Port(), Get("/cd/pixindex.$$$"));
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(page.body, LocalPage(cached));
    EXPECT_NE(page.body.find("<div>disc.jpg<br>120 x 60<br>"), std::string::npos);
    const WireResponse image = Exchange(server.Port(), Get("/cd/disc.jpg?thumbnail"));
    EXPECT_EQ(image.Header("Content-Type"), "image/gif");
    EXPECT_FALSE(image.body.empty());
    EXPECT_EQ(image.body, PreviewIn(cached, "disc.jpg"));
}

TEST(ThumbnailReadOnlyMedia, IndexComesFromTheCache) {
    if (std::system("unshare --user --map-root-user --mount true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no private mount namespace available here to make a read-only mount";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    ASSERT_EQ(::setenv(kInsideVariable, "1", 1), 0);
    const test::CommandResult run =
        test::RunCommand("/usr/bin/unshare --user --map-root-user --mount " + test::ShellQuote(self) +
                         " --gtest_filter=ThumbnailReadOnlyMedia.DISABLED_InsidePrivateMounts "
                         "--gtest_also_run_disabled_tests");
    ::unsetenv(kInsideVariable);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace sarvo
