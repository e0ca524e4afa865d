#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "ZipTestSupport.h"
#include "store/Folders.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using test::Exchange;
using test::LoopbackServer;
using test::WireResponse;

// A link checker's HEAD made the server compress the whole folder for nothing. The answer is the
// header alone, and no temporary archive is made for it (nor a writer started, which needs one):
// with no temporary folder to make it in, HEAD still answers while GET cannot.
TEST(ZipHead, HeadOfAZipLinkSendsTheHeaderAloneAndMakesNoArchive) {
    LoopbackServer server;
    ASSERT_TRUE(server.Started());
    test::MakeMixedTree(server.ShareFolder("share", "shared"));
    ASSERT_TRUE(SetZipDownloadAllowed("share", true));
    const WireResponse get = Exchange(server.Port(), "GET /share/?zipdld HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_EQ(get.statusLine, "HTTP/1.1 200 OK");

    // Temporary files go to a folder that does not exist, so an archive cannot be made.
    ::setenv("TMPDIR", server.Home().Child("no such folder").c_str(), 1);
    const WireResponse head = Exchange(server.Port(), "HEAD /share/?zipdld HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(head.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(head.HeaderNames(), get.HeaderNames());
    EXPECT_EQ(head.Header("Content-Disposition"), get.Header("Content-Disposition"));
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(Exchange(server.Port(), "GET /share/?zipdld HTTP/1.1\r\nHost: x\r\n\r\n").statusLine,
              "HTTP/1.1 404 Not Found");
    ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace sarvo
