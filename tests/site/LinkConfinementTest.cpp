// Symbolic links that lead out of a shared folder, through the real server: refused for every way a
// visitor reaches a file (reading, listing, Zip, thumbnails, upload) unless the folder follows links.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ThumbnailFixtures.h"
#include "ZipTestSupport.h"
#include "store/Folders.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
using test::Exchange;
using test::Get;
using test::LoopbackServer;
using test::WireResponse;

void Link(const std::string& target, const std::string& link) {
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
}

bool Has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

// The share holds links in and out of it, at its top and two folders down, relative and absolute,
// and a chain whose first link stays inside while the second leaves.
class LinkConfinementTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_shared = m_server.ShareFolder("share", "shared");
        m_outside = m_server.Home().Child("outside");
        ASSERT_TRUE(SetCanPostFiles("share", true) && SetZipDownloadAllowed("share", true) &&
                    SetFollowLinks("share", FollowsLinks()));
        fs::create_directories(m_outside + "/dir");
        fs::create_directories(m_shared + "/sub/deep");
        test::WriteWholeFile(m_outside + "/secret.txt", "secret");
        test::WriteWholeFile(m_outside + "/dir/inner.txt", "inner");
        test::WriteWholeFile(m_outside + "/dir/pic1.jpg", "jpeg");
        test::WriteWholeFile(m_outside + "/dir/pixindex.$$$", test::IndexBytes(test::NumberedEntries(1)));
        test::WriteWholeFile(m_shared + "/inside.txt", "inside");
        Link("inside.txt", m_shared + "/link-in.txt");
        Link("../../inside.txt", m_shared + "/sub/deep/up-in.txt");
        Link("../outside/secret.txt", m_shared + "/file-out.txt");
        Link(m_outside + "/dir", m_shared + "/dir-out");
        Link("../outside/dir/pixindex.$$$", m_shared + "/pixindex.$$$");
        Link("../outside/secret.txt", m_shared + "/hop.txt");
        Link("../../hop.txt", m_shared + "/sub/deep/chain.txt");
    }

    bool FollowsLinks() const { return GetParam(); }
    WireResponse Request(const std::string& request) { return Exchange(m_server.Port(), request); }
    int Status(const std::string& request) {
        const WireResponse response = Request(request);
        return response.statusLine.size() >= 12 ? std::stoi(response.statusLine.substr(9, 3)) : 0;
    }

    LoopbackServer m_server;
    std::string m_shared;
    std::string m_outside;
};

TEST_P(LinkConfinementTest, LinksOutAreRefusedUnlessTheFolderFollowsLinks) {
    const int outStatus = FollowsLinks() ? 200 : 404;
    struct Case {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"file behind a link inside", Get("/share/link-in.txt"), 200},
        {"link two folders down that stays inside", Get("/share/sub/deep/up-in.txt"), 200},
        {"link to a file outside", Get("/share/file-out.txt"), outStatus},
        {"file in a folder linked from outside", Get("/share/dir-out/inner.txt"), outStatus},
        {"chain of links ending outside", Get("/share/sub/deep/chain.txt"), outStatus},
        {"listing of a folder outside", Get("/share/dir-out/"), outStatus},
        {"thumbnail of a picture outside", Get("/share/dir-out/pic1.jpg?thumbnail"), outStatus},
        {"thumbnail page of an index outside", Get("/share/dir-out/pixindex.$$$"), outStatus},
        {"thumbnail page through a linked index", Get("/share/pixindex.$$$"), outStatus},
        {"upload into a folder outside", test::UploadRequest("/share/dir-out/", "new.txt", "uploaded"),
         outStatus},
        {"upload into the folder itself", test::UploadRequest("/share/", "new.txt", "uploaded"), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Status(c.request), c.status);
    }
    EXPECT_EQ(fs::exists(m_outside + "/dir/new.txt"), FollowsLinks());
    EXPECT_EQ(test::ReadWholeFile(m_shared + "/new.txt"), "uploaded");
}

TEST_P(LinkConfinementTest, ListingAndZipLeaveOutWhatLiesOutside) {
    const WireResponse listing = Request(Get("/share/"));
    const WireResponse zip = Request(Get("/share/?zipdld"));
    ASSERT_EQ(listing.statusLine, "HTTP/1.1 200 OK");
    ASSERT_EQ(zip.statusLine, "HTTP/1.1 200 OK");
    for (const char* inside : {"inside.txt", "link-in.txt"}) {
        SCOPED_TRACE(inside);
        EXPECT_TRUE(Has(listing.body, inside));
        EXPECT_TRUE(Has(zip.body, inside));
    }
    for (const char* outside : {"file-out.txt", "dir-out", "hop.txt"}) {
        SCOPED_TRACE(outside);
        EXPECT_EQ(Has(listing.body, outside), FollowsLinks());
        EXPECT_EQ(Has(zip.body, outside), FollowsLinks());
    }
    // The thumbnail row of the listing stands for an index that is itself a link out.
    EXPECT_EQ(Has(listing.body, "Image Thumbnails"), FollowsLinks());
}

// A link that led inside at one request and is turned outside before the next.
TEST_P(LinkConfinementTest, LinkReplacedBetweenTwoRequests) {
    Link("inside.txt", m_shared + "/swap.txt");
    EXPECT_EQ(Request(Get("/share/swap.txt")).body, "inside");
    ASSERT_EQ(::unlink((m_shared + "/swap.txt").c_str()), 0);
    Link("../outside/secret.txt", m_shared + "/swap.txt");
    const WireResponse second = Request(Get("/share/swap.txt"));
    EXPECT_EQ(second.statusLine.substr(9, 3), FollowsLinks() ? "200" : "404");
    EXPECT_EQ(Has(second.body, "secret"), FollowsLinks());
}

INSTANTIATE_TEST_SUITE_P(FollowLinks, LinkConfinementTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("On") : std::string("Off");
                         });

}  // namespace
}  // namespace sarvo
