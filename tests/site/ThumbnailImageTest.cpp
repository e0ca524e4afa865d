#include "site/ThumbnailImageResponse.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GoldenFile.h"
#include "ThumbnailFixtures.h"
#include "server/ServerIdentity.h"
#include "store/Folders.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::Bytes;
using test::MakeEntry;

// The whole response as a sender would read it, in pieces of the given size.
std::string ReadOut(HttpResponse& response, size_t piece) {
    std::string out;
    std::vector<char> buffer(piece);
    while (const size_t count = response.ReadResponse(buffer.data(), buffer.size()))
        out.append(buffer.data(), count);
    return out;
}

// Writes the pictures themselves (their content does not matter) and the index of them.
void MakeIndexedFolder(const std::string& folder, const std::vector<test::HandEntry>& entries) {
    std::filesystem::create_directories(folder);
    for (const test::HandEntry& entry : entries)
        test::WriteWholeFile(folder + "/" + entry.name, "the full picture");
    test::WriteWholeFile(folder + "/pixindex.$$$", test::IndexBytes(entries));
}

TEST(ThumbnailImage, AnswersFromTheFoldersIndex) {
    test::ScopedSarvoHome home;
    const std::string pictures = home.Child("pictures");
    SharedFolder share;
    share.name = "pics";
    share.location = pictures;
    share.canBrowseSubfolders = true;
    ASSERT_TRUE(WriteSharedFolder(share));
    std::string bmp = "BM";
    for (int i = 0; i < 5000; ++i)
        bmp.push_back(static_cast<char>(i));
    MakeIndexedFolder(
        pictures,
        {MakeEntry("upper.jpg", Bytes("GIF89a\x10\x01\x08\x01 rest of a gif")),
         MakeEntry("lower.jpg", Bytes("gif87a odd but allowed")), MakeEntry("photo.png", Bytes(bmp)),
         MakeEntry("f.jpg", Bytes("FIG not a gif")), MakeEntry("my photo #1.jpg", Bytes("GIF89a top"))});
    // The same name in a sub-folder, whose own index holds a different preview.
    MakeIndexedFolder(pictures + "/2004", {MakeEntry("my photo #1.jpg", Bytes("GIF89a deep"))});
    test::WriteWholeFile(pictures + "/new.jpg", "added after the index was made");
    std::filesystem::create_directories(pictures + "/noindex");
    test::WriteWholeFile(pictures + "/noindex/lonely.jpg", "picture");

    struct Case {
        const char* url;
        const char* type;
        std::string body;
    } cases[] = {
        {"/pics/upper.jpg", "image/gif", "GIF89a\x10\x01\x08\x01 rest of a gif"},
        {"/pics/lower.jpg", "image/gif", "gif87a odd but allowed"},
        {"/pics/photo.png", "image/bmp", bmp},
        {"/pics/f.jpg", "image/bmp", "FIG not a gif"},
        {"/pics/my%20photo%20%231.jpg", "image/gif", "GIF89a top"},
        {"/pics/2004/my%20photo%20%231.jpg", "image/gif", "GIF89a deep"},
        {"/pics/new.jpg", "image/bmp", ""},
        {"/pics/noindex/lonely.jpg", "image/bmp", ""},
        {"/nosuchshare/upper.jpg", "image/bmp", ""},
        {"/pics/missing.jpg", "image/bmp", ""},
        {"", "image/bmp", ""},
    };
    for (const Case& c : cases) {
        // Pieces of 7 bytes cross the boundary between header and body and split the image many times.
        for (size_t piece : {size_t{7}, size_t{8192}}) {
            SCOPED_TRACE(std::string(c.url) + " in pieces of " + std::to_string(piece));
            ThumbnailImageResponse response;
            response.BuildThumbnailImage(c.url);
            const std::string wire = ReadOut(response, piece);
            EXPECT_EQ(test::MaskDates(wire),
                      "HTTP/1.1 200 OK\r\nDate: <date>\r\nServer: " + ServerIdentification() +
                          "\r\nConnection: close\r\nContent-Type: " + c.type +
                          "\r\nContent-Length: " + std::to_string(c.body.size()) + "\r\n\r\n" + c.body);
            EXPECT_EQ(response.TotalLength(), wire.size());
        }
    }
}

}  // namespace
}  // namespace sarvo
