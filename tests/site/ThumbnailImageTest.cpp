#include "site/ThumbnailImageResponse.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "GoldenFile.h"
#include "ThumbnailFixtures.h"
#include "server/PathResolver.h"
#include "server/ServerIdentity.h"
#include "store/Folders.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::Bytes;
using test::IndexBytes;
using test::MakeEntry;

// The whole response as a sender would read it, in pieces of the given size.
std::string ReadOut(HttpResponse& response, size_t piece) {
    std::string out;
    std::vector<char> buffer(piece);
    for (;;) {
        const size_t count = response.ReadResponse(buffer.data(), buffer.size());
        if (count == 0)
            return out;
        out.append(buffer.data(), count);
    }
}

std::string ExpectedHeader(const std::string& type, size_t length) {
    return "HTTP/1.1 200 OK\r\nDate: <date>\r\nServer: " + ServerIdentification() +
           "\r\nConnection: close\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

// A shared folder "pics" in a temporary settings home, with pictures and an index made by hand.
class ThumbnailImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = m_home.Child("pictures");
        std::filesystem::create_directories(m_folder);
        SharedFolder folder;
        folder.name = "pics";
        folder.location = m_folder;
        folder.canBrowseSubfolders = true;
        ASSERT_TRUE(WriteSharedFolder(folder));
    }

    // Writes the pictures themselves (their content does not matter) and the index of them.
    void MakeFolder(const std::string& folder, const std::vector<test::HandEntry>& entries) {
        std::filesystem::create_directories(folder);
        for (const test::HandEntry& entry : entries)
            test::WriteBytes(folder + "/" + entry.name, "the full picture");
        test::WriteBytes(folder + "/pixindex.$$$", IndexBytes(entries));
    }

    test::ScopedSarvoHome m_home;
    std::string m_folder;
};

TEST_F(ThumbnailImageTest, GifSignatureInEitherCaseGivesImageGif) {
    const std::vector<uint8_t> upper = Bytes("GIF89a\x10\x01\x08\x01 rest of a gif");
    const std::vector<uint8_t> lower = Bytes("gif87a odd but allowed");
    MakeFolder(m_folder, {MakeEntry("upper.jpg", upper), MakeEntry("lower.jpg", lower)});

    for (const auto& [url, image] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"/pics/upper.jpg", upper}, {"/pics/lower.jpg", lower}}) {
        SCOPED_TRACE(url);
        ThumbnailImageResponse response;
        response.BuildThumbnailImage(url);
        const std::string wire = ReadOut(response, 8192);
        const size_t headerEnd = wire.find("\r\n\r\n") + 4;
        EXPECT_EQ(test::MaskDates(wire.substr(0, headerEnd)), ExpectedHeader("image/gif", image.size()));
        EXPECT_EQ(wire.substr(headerEnd), std::string(image.begin(), image.end()));
    }
}

TEST_F(ThumbnailImageTest, AnyOtherFirstByteGivesImageBmp) {
    std::vector<uint8_t> bmp = Bytes("BM");
    for (int i = 0; i < 5000; ++i)
        bmp.push_back(static_cast<uint8_t>(i));
    MakeFolder(m_folder, {MakeEntry("photo.png", bmp), MakeEntry("f.jpg", Bytes("FIG not a gif"))});

    ThumbnailImageResponse response;
    response.BuildThumbnailImage("/pics/photo.png");
    // Small pieces cross the boundary between header and body and split the image many times.
    const std::string wire = ReadOut(response, 7);
    const size_t headerEnd = wire.find("\r\n\r\n") + 4;
    EXPECT_EQ(test::MaskDates(wire.substr(0, headerEnd)), ExpectedHeader("image/bmp", bmp.size()));
    EXPECT_EQ(wire.substr(headerEnd), std::string(bmp.begin(), bmp.end()));
    EXPECT_EQ(response.TotalLength(), wire.size());

    ThumbnailImageResponse other;
    other.BuildThumbnailImage("/pics/f.jpg");
    EXPECT_NE(other.HeaderText().find("Content-Type: image/bmp\r\n"), std::string_view::npos);
}

TEST_F(ThumbnailImageTest, PictureNotInTheIndexGetsAnEmptyBmpAnswer) {
    MakeFolder(m_folder, {MakeEntry("indexed.jpg", Bytes("GIF89a"))});
    test::WriteBytes(m_folder + "/new.jpg", "added after the index was made");
    ThumbnailImageResponse response;
    response.BuildThumbnailImage("/pics/new.jpg");
    EXPECT_EQ(test::MaskDates(ReadOut(response, 8192)), ExpectedHeader("image/bmp", 0));
}

TEST_F(ThumbnailImageTest, FolderWithoutAnIndexGetsAnEmptyBmpAnswer) {
    test::WriteBytes(m_folder + "/lonely.jpg", "picture");
    ThumbnailImageResponse response;
    response.BuildThumbnailImage("/pics/lonely.jpg");
    EXPECT_EQ(test::MaskDates(ReadOut(response, 8192)), ExpectedHeader("image/bmp", 0));
}

TEST_F(ThumbnailImageTest, PathThatDoesNotResolveGetsAnEmptyBmpAnswer) {
    MakeFolder(m_folder, {MakeEntry("a.jpg", Bytes("GIF89a"))});
    for (const char* url : {"/nosuchshare/a.jpg", "/pics/missing.jpg", ""}) {
        SCOPED_TRACE(url);
        ThumbnailImageResponse response;
        response.BuildThumbnailImage(url);
        EXPECT_EQ(test::MaskDates(ReadOut(response, 8192)), ExpectedHeader("image/bmp", 0));
    }
}

// The index may have been made where names ignore case, or the picture renamed since.
TEST_F(ThumbnailImageTest, PictureRequestedAsUpperCaseMatchesTheLowerCaseEntry) {
    const std::vector<uint8_t> image = Bytes("GIF89a photo one");
    test::WriteBytes(m_folder + "/pixindex.$$$", IndexBytes({MakeEntry("photo1.jpg", image)}));
    test::WriteBytes(m_folder + "/PHOTO1.JPG", "the picture, named in capitals on disk");
    ThumbnailImageResponse response;
    response.BuildThumbnailImage("/pics/PHOTO1.JPG");
    EXPECT_EQ(response.BodyLength(), image.size());
    const std::string wire = ReadOut(response, 8192);
    EXPECT_EQ(wire.substr(wire.find("\r\n\r\n") + 4), "GIF89a photo one");
}

TEST_F(ThumbnailImageTest, EncodedNameAndSubFolderFindTheirOwnIndex) {
    const std::vector<uint8_t> top = Bytes("GIF89a top");
    const std::vector<uint8_t> deep = Bytes("GIF89a deep");
    MakeFolder(m_folder, {MakeEntry("my photo #1.jpg", top)});
    // The same name in a sub-folder, whose own index holds a different preview.
    MakeFolder(m_folder + "/2004", {MakeEntry("my photo #1.jpg", deep)});

    ThumbnailImageResponse atTop;
    atTop.BuildThumbnailImage("/pics/my%20photo%20%231.jpg");
    ThumbnailImageResponse inSub;
    inSub.BuildThumbnailImage("/pics/2004/my%20photo%20%231.jpg");
    const std::string topWire = ReadOut(atTop, 8192);
    const std::string subWire = ReadOut(inSub, 8192);
    EXPECT_EQ(topWire.substr(topWire.find("\r\n\r\n") + 4), "GIF89a top");
    EXPECT_EQ(subWire.substr(subWire.find("\r\n\r\n") + 4), "GIF89a deep");
}

TEST_F(ThumbnailImageTest, ResolvedPathGivesTheSameAnswerAsTheUrl) {
    const std::vector<uint8_t> image = Bytes("BM resolved");
    MakeFolder(m_folder, {MakeEntry("r.jpg", image)});
    const ResolvedPath path = ResolvePath("/pics/r.jpg");
    ASSERT_EQ(path.kind, PathKind::SharedFolderFile);
    ThumbnailImageResponse fromPath;
    fromPath.BuildThumbnailImage(path);
    ThumbnailImageResponse fromUrl;
    fromUrl.BuildThumbnailImage("/pics/r.jpg");
    EXPECT_EQ(test::MaskDates(ReadOut(fromPath, 8192)), test::MaskDates(ReadOut(fromUrl, 8192)));
    EXPECT_EQ(fromPath.BodyLength(), image.size());
}

TEST_F(ThumbnailImageTest, ContentTypeLooksOnlyAtTheFirstByte) {
    const uint8_t gif[] = {'G'};
    const uint8_t lowerGif[] = {'g', 'x'};
    const uint8_t bmp[] = {'B', 'M'};
    const uint8_t nul[] = {0};
    EXPECT_EQ(ThumbnailContentType(gif, 1), "image/gif");
    EXPECT_EQ(ThumbnailContentType(lowerGif, 2), "image/gif");
    EXPECT_EQ(ThumbnailContentType(bmp, 2), "image/bmp");
    EXPECT_EQ(ThumbnailContentType(nul, 1), "image/bmp");
    EXPECT_EQ(ThumbnailContentType(gif, 0), "image/bmp");
    EXPECT_EQ(ThumbnailContentType(nullptr, 0), "image/bmp");
}

}  // namespace
}  // namespace sarvo
